#pragma once
// The base of the program's four windows: a fixed client size in twips, a
// fixed dialog frame, a back colour and design font, an optional persistent
// drawing surface, key preview with the classic key codes, and the
// Load/Activate/KeyDown/Paint handlers. Show and Hide never destroy anything;
// every Show runs Form_Activate. A shown window never stays minimised or
// rolled up, whatever the window manager offers.

#include "compat/Surface.h"

#include <QMargins>
#include <QWidget>

#include <initializer_list>

#include <memory>

class QTimer;

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

    // The frame the window manager puts around a window, in pixels: this
    // window's own once it has one, else the last one any window was given
    // (all windows here wear the same fixed dialog frame).
    QMargins FrameMargins() const;
    // Called when the window manager has framed this window (public for tests).
    void FrameArrived(const QMargins& margins);

protected:
    virtual void Form_Load() {}
    virtual void Form_Activate() {}
    virtual void Form_KeyDown(int keyCode, int shift);
    virtual void Form_Paint() {}
    // The title-bar close box and Alt+F4; the window stays open unless this hides it.
    virtual void Form_TitleBarClose() {}

    // Call once the controls exist: every widget of this window passes its keys to Form_KeyDown first.
    void InstallKeyPreview();
    // Whether the key Form_KeyDown is handling now comes from a key held down.
    bool KeyAutoRepeat() const { return keyAutoRepeat_; }

    // The controls that take the focus, in the order of their tab indexes;
    // the first one holds the focus when the window is first shown.
    void SetTabOrder(std::initializer_list<QWidget*> order);

    // Top = (screen height - outer height) / 2, then Left likewise. Done
    // before the window manager has framed the window, it is done again
    // once the frame is there, so the outer frame ends up centred.
    void CentreOnScreen();

    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void childEvent(QChildEvent* event) override;

private:
    void WatchForFrame();
    // Whether `widget` lies inside the client area, where a user can see it.
    bool InClientArea(const QWidget* widget) const;

    Settings settings_;
    std::unique_ptr<Surface> surface_;
    bool keyPreviewInstalled_ = false;
    bool deliveringKey_ = false;
    bool keyAutoRepeat_ = false;
    bool framed_ = false;
    QMargins frame_;
    bool centringPending_ = false;
    QPoint centredAt_;
    QTimer* frameWatch_ = nullptr;
    QTimer* moveEnd_ = nullptr;
    int frameChecks_ = 0;
};
