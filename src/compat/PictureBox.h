#pragma once
// A picture box: shows a picture at its top-left corner over its back colour,
// with a thin flat border, and raises Click and DblClick (a double click
// delivers the Click first). With persistent drawing on it also carries a
// drawing surface of its own, painted over the picture.

#include "compat/Control.h"
#include "compat/Picture.h"

#include <memory>

class Surface;

class PictureBox : public Control {
    Q_OBJECT
public:
    PictureBox(QWidget* parent, const QString& name, int left, int top, int width, int height);
    ~PictureBox() override;

    const Picture& GetPicture() const { return picture_; }
    void SetPicture(Picture picture);
    void SetBorder(Border b);

    // Turns on the persistent drawing surface (its font is this control's font).
    void EnableDrawing();
    Surface& Drawing();

signals:
    void Click();
    void DblClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    Picture picture_;
    Border border_ = Border::Single;
    std::unique_ptr<Surface> surface_;
    bool ignoreNextRelease_ = false;
};
