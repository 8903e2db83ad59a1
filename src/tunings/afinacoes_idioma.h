#pragma once
// Hands the tuning reader the current language's texts: after this call the process's
// XMLAfinacaoParser expands "#" codes through GerenciadorIdiomas::getTexto. Start-up calls it once,
// before the tuning manager loads the tuning file. (The reader itself stays free of Qt.)

void usarIdiomaNasAfinacoes();
