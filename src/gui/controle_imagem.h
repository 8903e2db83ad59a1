#pragma once
// TImage: the picture control every skinned window is built from. It shows one picture at its
// natural size (top-left), centred, or stretched over the control, and reports the mouse the way
// the windows' handlers expect it: OnMouseDown for any button, OnClick when the left button is
// released over the control, OnDblClick on a double click (which does not also count as a
// click), OnMouseUp after the release. The skins' buttons are TImages whose window swaps in the
// pressed picture on mouse down; backgrounds drag their window (see MovimentoJanela).

#include <QPixmap>
#include <QWidget>
#include <functional>
#include <memory>

class QImage;

class TImage : public QWidget {
public:
    explicit TImage(QWidget* parent = nullptr);

    // A number the handlers read to tell controls apart (button Tags, string indexes).
    int Tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }

    // The picture shown; a null picture clears the control.
    const QPixmap& Picture() const { return picture_; }
    void setPicture(const QPixmap& picture);
    // Takes a picture from the language manager (null clears, as a missing picture should).
    void setPicture(const std::unique_ptr<QImage>& picture);

    bool Stretch() const { return stretch_; }
    void setStretch(bool value);
    bool Center() const { return center_; }
    void setCenter(bool value);

    std::function<void(TImage* sender)> OnClick;
    std::function<void(TImage* sender)> OnDblClick;
    std::function<void(TImage* sender, Qt::MouseButton button, QPoint globalPos)> OnMouseDown;
    std::function<void(TImage* sender, Qt::MouseButton button)> OnMouseUp;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    int tag_ = 0;
    QPixmap picture_;
    bool stretch_ = false;
    bool center_ = false;
    // The left button went down on this control and its release may count as a click.
    bool clicando_ = false;
};
