#include "imagem_janela.h"

#include <QDir>
#include <QImage>
#include <QString>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace {

QString pasta(const QString& janela) {
    return QStringLiteral(":/skin/%1").arg(janela);
}

QString caminho(const QString& janela, const QString& nome) {
    return QStringLiteral("%1/%2.png").arg(pasta(janela), nome);
}

using Figuras = std::map<QString, QImage>;  // by resource path

// The pictures of one window decoded ahead: pending on the worker, then ready to be claimed.
struct Lote {
    std::future<Figuras> pendente;
    Figuras prontas;
};

std::mutex& mutexLotes() {
    static std::mutex m;
    return m;
}

std::map<QString, Lote>& lotes() {
    static std::map<QString, Lote> l;
    return l;
}

// Decodes in the pixel format a pixmap keeps, so that handing the picture to one copies nothing.
Figuras decodificarPasta(const QString& janela) {
    Figuras figuras;
    const QString origem = pasta(janela);
    for (const QString& arquivo : QDir(origem).entryList({QStringLiteral("*.png")}, QDir::Files)) {
        QImage figura(origem + QLatin1Char('/') + arquivo);
        if (figura.isNull()) continue;
        figura.convertTo(figura.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                  : QImage::Format_RGB32);
        figuras.emplace(origem + QLatin1Char('/') + arquivo, std::move(figura));
    }
    return figuras;
}

std::optional<QImage> tomarAntecipada(const QString& janela, const QString& caminhoFigura) {
    std::lock_guard trava(mutexLotes());
    const auto lote = lotes().find(janela);
    if (lote == lotes().end()) return std::nullopt;
    if (lote->second.pendente.valid()) lote->second.prontas = lote->second.pendente.get();
    Figuras& prontas = lote->second.prontas;
    const auto figura = prontas.find(caminhoFigura);
    if (figura == prontas.end()) return std::nullopt;
    QImage imagem = std::move(figura->second);
    prontas.erase(figura);
    if (prontas.empty()) lotes().erase(lote);
    return imagem;
}

}  // namespace

QPixmap imagemJanela(const char* janela, const char* nome) {
    const QString qjanela = QString::fromLatin1(janela);
    const QString qcaminho = caminho(qjanela, QString::fromLatin1(nome));
    if (std::optional<QImage> antecipada = tomarAntecipada(qjanela, qcaminho))
        return QPixmap::fromImage(std::move(*antecipada));
    return QPixmap(qcaminho);
}

void anteciparImagensJanela(const char* janela) {
    const QString qjanela = QString::fromLatin1(janela);
    std::lock_guard trava(mutexLotes());
    if (lotes().count(qjanela) != 0) return;
    lotes()[qjanela].pendente = std::async(std::launch::async, decodificarPasta, qjanela);
}
