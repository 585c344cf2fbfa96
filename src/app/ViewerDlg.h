// CViewerDlg: the main window. It places the controls of its template, draws the skinned look, lays out the
// view and forwards what a person does to the objects that do the work: the live pipeline (LiveView), the
// measuring document and the settings (ViewerSession). Its own state lives in a private struct.
#pragma once

#include <QDialog>

#include <memory>

class LiveView;
class ViewerSession;
struct WindowPrompts;

class CViewerDlg : public QDialog {
    Q_OBJECT
public:
    // Identifiers and sizes the window's users may rely on.
    static constexpr int kStatusTimerMs = 100;
    static constexpr int kThumbnailWidth = 140;
    static constexpr int kThumbnailHeight = 105;

    // settingsFolder: where NxQb740Le.ini and the "bmp" folder live; empty means the executable's folder, or
    // the user's folders when that one cannot be written (see FileLocations).
    // cameraOption: the command line's choice of camera ("own", "/dev/videoN"; empty: the settings decide).
    explicit CViewerDlg(QWidget* parent = nullptr, const QString& settingsFolder = QString(),
        const QString& cameraOption = QString());
    ~CViewerDlg() override;

    // The settings, the measuring document and the thumbnails.
    ViewerSession& session();
    // The live pipeline: camera, frame images, display thread, the picture shown.
    LiveView& liveView();
    // The dialogs and messages the window asks through; tests answer them.
    WindowPrompts& prompts();

    // Closing (Escape, Enter, the close box) saves the settings and ends the live view.
    void done(int result) override;

protected:
    void timerEvent(QTimerEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
