// Page classes by name ("TfrmM7354R", "TfrmM7352RMod", ...). The main window's dispatch table
// names the class of each model; a class not registered here has no page yet.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace odel::ui {

class ModulePage;

using PageFactory = std::function<ModulePage*(QWidget* parent)>;

// Registers a page class; called from the registration list in PageRegistry.cpp.
void RegisterPage(const QString& className, PageFactory factory);
// The factory of a class, or an empty function when the class has no page.
PageFactory FindPage(const QString& className);
QStringList RegisteredPages();

}  // namespace odel::ui
