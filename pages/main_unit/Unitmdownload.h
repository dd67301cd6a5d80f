// The firmware download dialog of a main unit in INIT state: starts the unit's loader, sends a
// loader image from the data directory's program/ folder, starts it and sends the chosen
// firmware, both in numbered 132-byte blocks. Runs once, when first shown; closes itself one
// timer tick after the end, and leaves the result code for the main-unit page.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

class QLabel;
class QProgressBar;
class QTimer;

namespace odel {
class SerialPort;
}

namespace odel::ui {

class DownloadAnimation;

class TfrmMDownload : public QDialog {
    Q_OBJECT
  public:
    enum Result {
        Done = 0,
        BaudFailed = -1,      // "&00S1" not answered
        LoaderFailed = -2,    // loader image missing, short or refused
        StartFailed = -3,     // "$00D" not answered
        AckFailed = -4,       // "&00A" not answered
        FirmwareFailed = -5,  // firmware file short or refused
        NotRun = -6,          // the exchange never ran
    };
    static constexpr int kBlockSize = 128;
    static constexpr int kFirmwareBlocks = 1024;

    explicit TfrmMDownload(QWidget* parent = nullptr);
    ~TfrmMDownload() override;

    // Chooses the loader from the unit's name and firmware version; link is borrowed.
    void SetupDownload(odel::SerialPort* link, const QString& moduleName,
                       const QString& firmwareFile, const QString& firmwareVersion);
    // Runs the exchange the first time; every later call returns the first result.
    int Download();

    int downloadResult() const { return result_; }
    // Why the download failed, in words shown after the result's message; empty when it did not
    // fail or no reason is known.
    QString failureReason() const { return reason_; }
    bool isRunning() const { return running_; }
    QString loaderFile() const { return loaderFile_; }
    int loaderBlocks() const { return loaderBlocks_; }
    // Where the loader was found (empty before the download, or when it was not found).
    QString loaderPath() const { return loaderPath_; }

    DownloadAnimation* Animate1;
    QProgressBar* ProgressBar1;
    QLabel* lblPercent;
    // The phase beside the bar: loader or firmware, with "do not disconnect" while it runs.
    QLabel* lblPhase;
    QLabel* lblFileSize;
    QTimer* Timer1;

  public Q_SLOTS:
    void FormActivate();
    void Timer1Timer();
    // Ignored while the transfer runs.
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // Checks both files before the first command; the result code when one does not do.
    int loadFiles(QByteArray& loader, QByteArray& firmware);
    bool SendWithRetry(const char* command);
    bool SwitchLoaderBaud();
    bool SendImage(const QString& path, const QByteArray& data, int blocks);
    // Reads the reply up to its CR, or what came before the link's time-out.
    QByteArray readReply();
    // Reads and drops everything that arrives until the link is quiet.
    void drain();

    odel::SerialPort* link_ = nullptr;
    QString loaderPath_;
    QString loaderFile_;
    int loaderBlocks_ = 32;
    QString firmwareFile_;
    void setPhase(const QString& phase, bool running);
    int result_ = NotRun;
    QString reason_;
    bool started_ = false;
    bool running_ = false;
};

}  // namespace odel::ui
