// A module's real page without a window: created, started and read exactly as the main window
// does when the module's node is selected, with its messages collected instead of shown. The
// whole-bus backup, compare and restore use it, so a settings file's bytes and the Update
// sequences that load it come from the page itself.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "pages/frame/Dialogs.h"

class QTreeWidget;

namespace odel {
class SerialPort;
}

namespace odel::ui {
class ModulePage;
class StatusPanels;
}  // namespace odel::ui

namespace odel::backup {

// One module node of a port: its tree text ("(0A)7361", "(*)7354"), protocol marker (0 ASCII,
// 1 ASCII with checksum, 2 Modbus RTU) and the texts of its slot nodes.
struct BusNode {
    QString text;
    int marker = 0;
    QStringList slotTexts;

    // The node text's address part ("0A", "*") and model name; empty when the text has none.
    QString addressText() const;
    QString model() const;
    // Two hex digits: "00" for a module in INIT state.
    QString address() const;
};

// While it lives, every message, question and modal form goes into messages instead of onto
// the screen (questions are answered No, forms are not run); the wait dialog after an Update
// becomes a pause of its length, so the module still gets its settling time.
class CollectMessages : public odel::ui::Dialogs {
  public:
    CollectMessages();
    ~CollectMessages() override;
    CollectMessages(const CollectMessages&) = delete;
    CollectMessages& operator=(const CollectMessages&) = delete;

    struct Message {
        QString kind;  // "error", "warning", "information", "question", "messageBox", "form"
        QString text;
    };
    std::vector<Message> messages;
    // The error and warning texts, in order.
    QStringList problems() const;

    void error(const QString& text) override;
    void warning(const QString& text) override;
    void information(const QString& text) override;
    bool question(const QString& text) override;
    void messageBox(const QString& text, const QString& caption) override;
    QString openFile(QWidget*, const QString&, const QString&) override { return {}; }
    QString saveFile(QWidget*, const QString&, const QString&) override { return {}; }
    QString chooseFolder(QWidget*, const QString&, const QString&) override { return {}; }
    int exec(QDialog* dialog) override;

  private:
    odel::ui::Dialogs* previous_;
};

class PageHost {
  public:
    explicit PageHost(odel::SerialPort& link);
    ~PageHost();
    PageHost(const PageHost&) = delete;
    PageHost& operator=(const PageHost&) = delete;

    // Asks the node's address whether its module still answers as that model, then creates
    // its page and starts it as the main window does (link checksum from the marker). False
    // with why when the module does not answer, answers as another model or has no page.
    bool open(const BusNode& node, QString* why);
    odel::ui::ModulePage* page() const { return page_.get(); }
    // The model that answered at the address in open() (set also when it differs).
    QString answeredModel() const { return answered_; }
    // The firmware version the page shows.
    QString firmware() const;
    // Read failures the page wrote to its status panel ("Fail to ..."), in order.
    QStringList failures;
    // Stops the page's timers; the host never lets the page poll on its own.
    void stopTimers();

  private:
    odel::SerialPort& link_;
    std::unique_ptr<odel::ui::StatusPanels> panels_;
    std::unique_ptr<QTreeWidget> tree_;
    std::unique_ptr<odel::ui::ModulePage> page_;
    QString answered_;
};

}  // namespace odel::backup
