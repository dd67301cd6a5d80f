// The terminal: raw command lines to the bus, typed or played from a command file, with a log
// of every command and reply, the wall-clock time and the reply time.
#pragma once

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QIODevice;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace odel {
class SerialPort;
}

namespace odel::ui {

class TfrmMTerminal : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmMTerminal(QWidget* parent = nullptr);

    // Longest word taken from a command file: with its two checksum digits and the CR it must
    // fit the terminal's command line of 50 characters. Longer words are not sent.
    static constexpr int kMaxFileWord = 47;
    // Command lines kept for Up/Down and saved between runs.
    static constexpr int kHistorySize = 100;
    // Largest command file played: far more commands than a session sends.
    static constexpr qint64 kMaxCommandFile = 1024 * 1024;

    void SetLink(odel::SerialPort* link) { link_ = link; }
    void SendCommandLine(const QString& text);
    // The same exchange for the bytes of a command-file word, sent as they stand.
    void SendCommandBytes(const QByteArray& bytes);
    // Reads the next blank-separated word of a command file; false at the end of the file.
    // A word longer than kMaxFileWord comes back cut to kMaxFileWord + 1 bytes.
    static bool ReadFileWord(QIODevice& file, QByteArray& word);
    // The two log lines of one exchange (exposed for their exact layout).
    static QString CommandLogLine(const QString& text, int h, int m, int s);
    static QString ReplyLogLine(const QString& reply, int h, int m, int s, qint64 ms);

    QRadioButton* rdbIsSingleCommand;
    QLabel* labCommandLine;
    QLineEdit* edtCommandLine;
    QLabel* labResponse;
    QLineEdit* edtResponse;
    QRadioButton* rdbIsNotSingleCommand;
    QLabel* labFileName;
    QLineEdit* edtFileName;
    QPushButton* btFileBrowse;
    QPushButton* btSend;
    QPushButton* btContinueSend;
    QCheckBox* chkCheckSum;
    QPushButton* btStopSend;
    QPushButton* btSaveToFile;
    QPushButton* btExit;
    QPlainTextEdit* edtCommandStatus;
    QTimer* tmrUpdate;

  public Q_SLOTS:
    void btSendClick();
    void btContinueSendClick();
    void btStopSendClick();
    void tmrUpdateTimer();
    void btSaveToFileClick();
    void btFileBrowseClick();
    void btExitClick();
    void rdbIsSingleCommandClick();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

  private:
    void edtCommandLineKeyDown(int key);
    void setRepeating(bool on);
    void refreshButtons();
    void remember(const QString& line);
    void walkHistory(int step);
    void saveState();

    odel::SerialPort* link_ = nullptr;
    QString fileName_;
    bool repeating_ = false;  // between Continue Send and Stop
    bool running_ = false;    // a command file is being sent
    bool stopRun_ = false;    // Stop or a close came during the run
    QStringList history_;     // oldest first
    int historyPos_ = 0;      // history_.size() = the line being typed
};

}  // namespace odel::ui
