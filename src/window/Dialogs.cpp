#include "Dialogs.h"

#include <QFileDialog>

namespace {

class QtDialogs : public DialogHandler
{
public:
    QMessageBox::StandardButton message(QMessageBox::Icon icon, QWidget* parent,
                                        const QString& title, const QString& text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override
    {
        QMessageBox box(icon, title, text, buttons, parent);
        box.setDefaultButton(defaultButton);
        return QMessageBox::StandardButton(box.exec());
    }
    QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter) override
    {
        return QFileDialog::getOpenFileName(parent, caption, dir, filter);
    }
    QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter) override
    {
        return QFileDialog::getSaveFileName(parent, caption, dir, filter);
    }
};

QtDialogs realDialogs;
DialogHandler* current = &realDialogs;

} // namespace

void Dialogs::setHandler(DialogHandler* handler)
{
    current = handler ? handler : &realDialogs;
}

QMessageBox::StandardButton Dialogs::warning(QWidget* parent, const QString& title,
                                             const QString& text,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton)
{
    return current->message(QMessageBox::Warning, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton Dialogs::information(QWidget* parent, const QString& title,
                                                 const QString& text)
{
    return current->message(QMessageBox::Information, parent, title, text, QMessageBox::Ok,
                            QMessageBox::NoButton);
}

QMessageBox::StandardButton Dialogs::critical(QWidget* parent, const QString& title,
                                              const QString& text)
{
    return current->message(QMessageBox::Critical, parent, title, text, QMessageBox::Ok,
                            QMessageBox::NoButton);
}

QString Dialogs::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter)
{
    return current->openFileName(parent, caption, dir, filter);
}

QString Dialogs::getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter)
{
    return current->saveFileName(parent, caption, dir, filter);
}
