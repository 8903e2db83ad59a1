#include "lancador.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>

#include "texto_qt.h"

namespace {

std::unique_ptr<Lancador>& substituto() {
    static std::unique_ptr<Lancador> lancador;
    return lancador;
}

}  // namespace

bool Lancador::executar(const std::string& programa, const std::vector<std::string>& argumentos) {
    QStringList lista;
    for (const std::string& argumento : argumentos) lista << textoQt(argumento);
    return QProcess::startDetached(textoQt(programa), lista);
}

bool Lancador::abrirNoNavegador(const std::string& texto) {
    const QString alvo = textoQt(texto);
    // A path of an existing file opens as that file; anything else as the address it reads as.
    const QFileInfo arquivo(alvo);
    const QUrl url = arquivo.isAbsolute() && arquivo.exists() ? QUrl::fromLocalFile(alvo)
                                                              : QUrl::fromUserInput(alvo);
    if (!url.isValid() || url.isEmpty()) return false;
    return QDesktopServices::openUrl(url);
}

bool Lancador::abrirArquivoNoNavegador(const std::string& caminho) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(caminho.c_str())));
}

Lancador& lancador() {
    static Lancador desktop;
    return substituto() ? *substituto() : desktop;
}

std::unique_ptr<Lancador> setLancador(std::unique_ptr<Lancador> novo) {
    std::unique_ptr<Lancador> anterior = std::move(substituto());
    substituto() = std::move(novo);
    return anterior;
}

ProgramaMixer localizarMixer() {
    // PulseAudio's volume control (also served by PipeWire's pulse server), GTK or Qt flavour;
    // tab 4 lists the input devices, where the microphone's level is set.
    for (const char* nome : {"pavucontrol", "pavucontrol-qt"}) {
        if (!QStandardPaths::findExecutable(QString::fromLatin1(nome)).isEmpty())
            return {nome, {"--tab=4"}};
    }
    return {};
}
