// The floor of the whole-program benchmark: a bare Qt window of the tuner's size and kind that
// repaints all of itself 20 times a second, and does nothing else.
#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QWidget>

namespace {

class JanelaNua : public QWidget {
public:
    JanelaNua() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter pintor(this);
        pintor.fillRect(rect(), QColor(33, 100, 173));
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication aplicacao(argc, argv);
    JanelaNua janela;
    janela.setFixedSize(802, 532);
    QTimer relogio;
    relogio.setInterval(50);
    QObject::connect(&relogio, &QTimer::timeout, &janela, [&janela] { janela.update(); });
    janela.show();
    relogio.start();
    return aplicacao.exec();
}
