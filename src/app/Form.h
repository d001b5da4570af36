#pragma once
// The base of the program's four windows: a fixed client size in twips, a
// fixed dialog frame, a back colour and design font, an optional persistent
// drawing surface, key preview with the classic key codes, and the
// Load/Activate/KeyDown/Paint handlers. Show and Hide never destroy anything;
// every Show runs Form_Activate.

#include "app/Surface.h"

#include <QWidget>

#include <memory>

class Form : public QWidget {
    Q_OBJECT
public:
    struct Settings {
        QString caption;
        int clientWidth = 0;  // twips
        int clientHeight = 0; // twips
        QColor backColor;
        QColor foreColor;
        QFont font;
        bool keyPreview = false;
        bool persistentDrawing = false;
        QString iconName; // a compiled-in icon, or empty
    };
    explicit Form(const Settings& settings);
    ~Form() override;

    // Runs Form_Load once, right after the window is created (see Instance).
    void RunLoad();
    void Show();
    void Hide();
    bool Visible() const { return isVisible(); }

    // Position and size of the outer frame, in twips.
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void SetLeft(int twips);
    void SetTop(int twips);
    int ClientWidth() const { return settings_.clientWidth; }
    int ClientHeight() const { return settings_.clientHeight; }

    // The screen's size in twips.
    int ScreenWidth() const;
    int ScreenHeight() const;

    // The window's own drawing surface; exists with persistent drawing on.
    Surface& Drawing() { return *surface_; }
    const Surface& Drawing() const { return *surface_; }

    QColor BackColor() const { return settings_.backColor; }
    QFont DesignFont() const { return settings_.font; }

    // Key preview: hands a key to Form_KeyDown as if it had been pressed.
    void PreviewKey(int keyCode, int shift = 0) { Form_KeyDown(keyCode, shift); }

protected:
    virtual void Form_Load() {}
    virtual void Form_Activate() {}
    virtual void Form_KeyDown(int keyCode, int shift);
    virtual void Form_Paint() {}
    // The title-bar close box and Alt+F4; the window stays open unless this hides it.
    virtual void Form_TitleBarClose() {}

    // Call once the controls exist: every widget of this window passes its keys to Form_KeyDown first.
    void InstallKeyPreview();

    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void childEvent(QChildEvent* event) override;

private:
    Settings settings_;
    std::unique_ptr<Surface> surface_;
    bool keyPreviewInstalled_ = false;
    bool deliveringKey_ = false;
};
