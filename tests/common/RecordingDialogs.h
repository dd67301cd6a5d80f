// Test double of the dialog seam: keeps every text shown, answers questions and file dialogs
// from a script, and hands our own modal forms to a handler instead of running them.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

#include "pages/frame/Dialogs.h"

namespace odel::test {

struct ShownMessage {
    QString kind;  // "error", "warning", "information", "question", "messageBox", "open", "save",
                   // "folder", "exec", "progress"
    QString text;  // message text, file-dialog default name, or the form's objectName
    QString caption;
};

class RecordingDialogs : public odel::ui::Dialogs {
public:
    RecordingDialogs() { odel::ui::setDialogs(this); }
    ~RecordingDialogs() override { odel::ui::setDialogs(nullptr); }

    std::vector<ShownMessage> shown;
    std::deque<bool> questionAnswers;  // default Yes when empty
    std::deque<QString> fileAnswers;   // default Cancel ("") when empty
    // Runs our own modal forms; default: Accepted without showing them.
    std::function<int(QDialog*)> execHandler;

    void error(const QString& t) override { shown.push_back({"error", t, {}}); }
    void warning(const QString& t) override { shown.push_back({"warning", t, {}}); }
    void information(const QString& t) override { shown.push_back({"information", t, {}}); }
    bool question(const QString& t) override {
        shown.push_back({"question", t, {}});
        if (questionAnswers.empty()) return true;
        bool a = questionAnswers.front();
        questionAnswers.pop_front();
        return a;
    }
    void messageBox(const QString& t, const QString& c) override {
        shown.push_back({"messageBox", t, c});
    }
    QString openFile(QWidget*, const QString& def, const QString&) override {
        shown.push_back({"open", def, {}});
        return nextFile();
    }
    QString saveFile(QWidget*, const QString& def, const QString&) override {
        shown.push_back({"save", def, {}});
        return nextFile();
    }
    // Recorded as kind "folder" with the title as text and the start folder as caption.
    QString chooseFolder(QWidget*, const QString& title, const QString& start) override {
        shown.push_back({"folder", title, start});
        return nextFile();
    }
    int exec(QDialog* d) override {
        shown.push_back({"exec", d->objectName(), d->windowTitle()});
        return execHandler ? execHandler(d) : QDialog::Accepted;
    }

    // Progress windows are recorded by title ("progress"), their steps in progressSteps; from
    // step cancelAtStep on (counting every window's steps from 0) they report Cancel.
    QStringList progressSteps;
    int cancelAtStep = -1;
    std::unique_ptr<odel::ui::RunProgress> progress(QWidget*, const QString& title) override {
        shown.push_back({"progress", title, {}});
        struct Steps : odel::ui::RunProgress {
            explicit Steps(RecordingDialogs& r) : rec(r) {}
            bool step(int done, int total, const QString& text) override {
                rec.progressSteps << QString("%1/%2 %3").arg(done).arg(total).arg(text);
                return rec.cancelAtStep < 0 || rec.progressSteps.size() <= rec.cancelAtStep;
            }
            RecordingDialogs& rec;
        };
        return std::make_unique<Steps>(*this);
    }

    // Texts of the messages of one kind, in order.
    QStringList texts(const QString& kind) const {
        QStringList out;
        for (const auto& m : shown)
            if (m.kind == kind) out << m.text;
        return out;
    }
    void clear() { shown.clear(); }

private:
    QString nextFile() {
        if (fileAnswers.empty()) return {};
        QString f = fileAnswers.front();
        fileAnswers.pop_front();
        return f;
    }
};

}  // namespace odel::test
