// The download dialog's animation: a file travelling from the PC to the main unit. The picture is
// our own drawing, program/filemove.svg of the data directory: its element "scene" is drawn as
// it stands and its element "file" is moved along the cable, one step per frame.
#pragma once

#include <QWidget>

class QSvgRenderer;
class QTimer;

namespace odel::ui {

class DownloadAnimation : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kStopFrame = 34;  // frames 0..34, then from the start again

    explicit DownloadAnimation(QWidget* parent = nullptr);
    // Loads the picture; false (and an empty animation) when the file is missing or unreadable.
    bool setFileName(const QString& path);
    bool isLoaded() const;
    void start();
    void stop();
    bool isRunning() const;
    int frame() const { return frame_; }
    // Shows one frame (for pictures of a download in progress).
    void showFrame(int frame);
    QSize sizeHint() const override { return {272, 60}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QSvgRenderer* renderer_;
    QTimer* timer_;
    int frame_ = 0;
};

}  // namespace odel::ui
