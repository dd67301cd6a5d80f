#include "pages/frame/ConfFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <cmath>

#include "pages/frame/NumberText.h"

namespace odel::ui {

namespace {
bool parseInt(const QString& v, int& out) {
    static const QRegularExpression re("^-?[0-9]{1,9}$");
    if (!re.match(v).hasMatch()) return false;
    out = v.toInt();
    return true;
}

// What "%f" writes: an optional minus, digits, a point and six decimals.
bool parseFixed(const QString& v, double& out) {
    static const QRegularExpression re("^-?[0-9]+\\.[0-9]{6}$");
    if (!re.match(v).hasMatch()) return false;
    bool ok = false;
    out = v.toDouble(&ok);
    return ok && std::isfinite(out);
}
}  // namespace

QString defaultConfFileName(const QString& caption) {
    return caption.mid(6).trimmed() + ".txt";
}

void ConfSchema::moduleName(const QString& caption) {
    const QString word = caption.trimmed();
    lines_.push_back({"Module Name", [caption] { return caption; },
                      [word](const QString& v) { return v.trimmed() == word; }, nullptr, nullptr,
                      nullptr});
}

void ConfSchema::comboIndex(const QString& key, QComboBox* combo) {
    lines_.push_back({key, [combo] { return QString::number(combo->currentIndex()); },
                      [combo](const QString& v) {
                          int i = 0;
                          return parseInt(v, i) && i >= -1 && i < combo->count();
                      },
                      [combo](const QString& v) { combo->setCurrentIndex(v.toInt()); }, nullptr,
                      nullptr});
}

void ConfSchema::clearedFlag(const QString& key, QCheckBox* box) {
    lines_.push_back({key, [box] { return QString(box->isChecked() ? "0" : "1"); },
                      [](const QString& v) { return v == "0" || v == "1"; },
                      [box](const QString&) { box->setChecked(false); }, nullptr, nullptr});
}

void ConfSchema::state(const QString& key, QCheckBox* box) {
    lines_.push_back({key, [box] { return QString(box->isChecked() ? "1" : "0"); },
                      [](const QString& v) { return v == "0" || v == "1"; },
                      [box](const QString& v) { box->setChecked(v == "1"); }, nullptr, nullptr});
}

void ConfSchema::real(const QString& key, QLineEdit* edit, std::function<bool(double)> valid) {
    lines_.push_back(
        {key,
         [edit] {
             double d = 0;
             return QString::asprintf("%f", parseNumber(edit->text(), d) ? d : 0.0);
         },
         [valid](const QString& v) {
             double d = 0;
             return parseFixed(v, d) && (!valid || valid(d));
         },
         [edit](const QString& v) { edit->setText(QString::asprintf("%g", v.toDouble())); },
         nullptr, nullptr});
}

void ConfSchema::text(const QString& key, QLineEdit* edit) {
    // Line breaks inside the text would split the line; the edit cannot hold them anyway.
    lines_.push_back({key, [edit] { return edit->text().remove('\n').remove('\r'); },
                      [](const QString&) { return true; },
                      [edit](const QString& v) { edit->setText(v); }, nullptr, nullptr});
}

void ConfSchema::readOnly(const QString& key, std::function<QString()> value,
                          std::function<bool(const QString&)> accept) {
    if (!accept) accept = [](const QString&) { return true; };
    lines_.push_back({key, std::move(value), std::move(accept), nullptr, nullptr, nullptr});
}

void ConfSchema::custom(const QString& key, std::function<QString()> value,
                        std::function<bool(const QString&)> accept,
                        std::function<void(const QString&)> put) {
    lines_.push_back({key, std::move(value), std::move(accept), std::move(put), nullptr, nullptr});
}

QString ConfSchema::valueIn(const QByteArray& content, const QString& key) {
    const QByteArray head = (key + ": ").toLatin1();
    for (QByteArray line : content.split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        if (line.startsWith(head)) return QString::fromLatin1(line.mid(head.size()));
    }
    return {};
}

void ConfSchema::step(std::function<void()> run) {
    lines_.push_back({{}, nullptr, nullptr, nullptr, std::move(run), nullptr});
}

void ConfSchema::saveStep(std::function<void()> run) {
    lines_.push_back({{}, nullptr, nullptr, nullptr, nullptr, std::move(run)});
}

QByteArray ConfSchema::write() const {
    QByteArray out;
    for (const auto& l : lines_) {
        if (l.saveRun) l.saveRun();
        if (!l.key.isEmpty()) out += (l.key + ": " + l.value() + "\n").toLatin1();
    }
    return out;
}

bool ConfSchema::parse(const QByteArray& content, ConfError* error) {
    parsed_.clear();
    auto refuse = [error](qsizetype line, const QString& text) {
        if (error) *error = {static_cast<int>(line), text};
        return false;
    };
    // Every line the page writes ends with LF; a CR before it (a file edited elsewhere) is
    // tolerated, anything after the last expected line is not.
    QList<QByteArray> raw = content.split('\n');
    if (!raw.last().isEmpty()) return refuse(raw.size(), "the line does not end");
    raw.removeLast();
    std::size_t next = 0;
    for (const auto& l : lines_) {
        if (l.key.isEmpty()) {
            parsed_.emplace_back();
            continue;
        }
        const qsizetype number = static_cast<qsizetype>(next) + 1;
        if (next >= static_cast<std::size_t>(raw.size()))
            return refuse(number, "the file ends where \"" + l.key + "\" belongs");
        QByteArray line = raw[static_cast<qsizetype>(next++)];
        if (line.endsWith('\r')) line.chop(1);
        const QString text = QString::fromLatin1(line);
        const QString head = l.key + ": ";
        if (!text.startsWith(head))
            return refuse(number, "\"" + l.key + "\" expected, found \"" + text + "\"");
        const QString value = text.mid(head.size());
        if (!l.accept(value))
            return refuse(number, "\"" + value + "\" is no value for \"" + l.key + "\"");
        parsed_.push_back(value);
    }
    if (next != static_cast<std::size_t>(raw.size()))
        return refuse(static_cast<qsizetype>(next) + 1, "a line after the last one");
    return true;
}

void ConfSchema::apply(const std::function<void(int, const QString&)>& beforeStep) const {
    QString lastKey;
    int steps = 0;
    for (std::size_t i = 0; i < lines_.size() && i < parsed_.size(); ++i) {
        const auto& l = lines_[i];
        if (l.key.isEmpty()) {
            if (!l.run) continue;
            if (beforeStep) beforeStep(++steps, lastKey);
            l.run();
        } else {
            lastKey = l.key;
            if (l.put) l.put(parsed_[i]);
        }
    }
}

bool ConfSchema::empty() const {
    for (const auto& l : lines_)
        if (!l.key.isEmpty()) return false;
    return true;
}

}  // namespace odel::ui
