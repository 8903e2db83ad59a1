#include "aplicacao_teste.h"

#include <stdlib.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <iterator>

QApplication& aplicacaoTeste() {
    // A test may have made its own application object already.
    if (auto* existente = qobject_cast<QApplication*>(QCoreApplication::instance()))
        return *existente;
    static int argc = 1;
    static char nome[] = "tessarin-tests";
    static char* argv[] = {nome, nullptr};
    static QApplication* aplicacao = new QApplication(argc, argv);
    return *aplicacao;
}

bool rodarAte(const std::function<bool()>& feito, int limiteMs) {
    aplicacaoTeste();
    QElapsedTimer relogio;
    relogio.start();
    while (!feito()) {
        if (relogio.elapsed() > limiteMs) return false;
        QEventLoop laco;
        QTimer::singleShot(2, &laco, &QEventLoop::quit);
        laco.exec();
    }
    return true;
}

void rodarPor(int ms) {
    aplicacaoTeste();
    QEventLoop laco;
    QTimer::singleShot(ms, &laco, &QEventLoop::quit);
    laco.exec();
}

void cliqueDuplo(QWidget* alvo, QPoint pos) {
    QTest::mousePress(alvo, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(alvo, Qt::LeftButton, {}, pos);
    QTest::mouseDClick(alvo, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(alvo, Qt::LeftButton, {}, pos);
}

PastaTemporaria::PastaTemporaria() {
    std::string modelo = (std::filesystem::temp_directory_path() / "tessarin-dlg-XXXXXX").string();
    if (::mkdtemp(modelo.data()) == nullptr) std::abort();
    caminho_ = modelo;
}

PastaTemporaria::~PastaTemporaria() {
    std::error_code erro;
    std::filesystem::remove_all(caminho_, erro);
}

void PastaTemporaria::escrever(const std::string& nome, const std::string& conteudo) const {
    const std::filesystem::path caminho = arquivo(nome);
    std::filesystem::create_directories(caminho.parent_path());
    std::ofstream(caminho, std::ios::binary) << conteudo;
}

std::string PastaTemporaria::ler(const std::string& nome) const {
    std::ifstream entrada(arquivo(nome), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(entrada), std::istreambuf_iterator<char>());
}
