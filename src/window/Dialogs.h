#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

// Every message box and file dialog the window shows goes through here, so
// that tests can answer them and read what was shown without a modal loop.
class DialogHandler
{
public:
    virtual ~DialogHandler() = default;
    virtual QMessageBox::StandardButton message(QMessageBox::Icon icon, QWidget* parent,
                                                const QString& title, const QString& text,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton) = 0;
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter) = 0;
};

class Dialogs
{
public:
    // Replaces the real dialogs (null restores them); not owned.
    static void setHandler(DialogHandler* handler);

    static QMessageBox::StandardButton
    warning(QWidget* parent, const QString& title, const QString& text,
            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static QMessageBox::StandardButton information(QWidget* parent, const QString& title,
                                                   const QString& text);
    static QMessageBox::StandardButton critical(QWidget* parent, const QString& title,
                                                const QString& text);
    static QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter);
    static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter);
};
