// The search dialog's animation: a magnifier sweeping over a row of modules, painted by us.
#pragma once

#include <QWidget>

class QTimer;

namespace odel::ui {

class SearchAnimation : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kFrames = 16;
    static constexpr int kStopFrame = 8;  // the picture shown while it stands still

    explicit SearchAnimation(QWidget* parent = nullptr);
    void start();
    void stop();
    bool isRunning() const;
    int frame() const { return frame_; }
    QSize sizeHint() const override { return {272, 60}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QTimer* timer_;
    int frame_ = kStopFrame;
};

}  // namespace odel::ui
