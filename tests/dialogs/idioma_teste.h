#pragma once
// The language the window tests run in: written once per process into a scratch folder and made
// current in the process's language manager. Every picture key the windows ask for has a JPEG of
// its own colour, so a test can tell which picture a control shows.

#include <QColor>
#include <QPixmap>
#include <string>

// Makes the test language current (the first call writes it); returns its folder.
const std::string& usarIdiomaTeste();

// The colour of the test language's picture (secao, chave).
QColor corImagemTeste(const std::string& secao, const std::string& chave);

// The colour at the centre of a picture (invalid for a null picture). JPEG shifts colours a
// little, so compare with mesmaCor.
QColor corCentral(const QPixmap& imagem);
bool mesmaCor(const QColor& a, const QColor& b);
