#pragma once

// Answers the window's message boxes and file dialogs from a script, and
// keeps what was shown, so GUI tests never enter a modal loop.

#include "window/Dialogs.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

class ScriptedDialogs : public DialogHandler
{
public:
    struct Shown
    {
        QMessageBox::Icon icon;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton;
    };

    ScriptedDialogs() { Dialogs::setHandler(this); }
    ~ScriptedDialogs() override { Dialogs::setHandler(nullptr); }

    QMessageBox::StandardButton message(QMessageBox::Icon icon, QWidget*, const QString& title,
                                        const QString& text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override
    {
        shown.append({icon, title, text, buttons, defaultButton});
        runWhileOpen();
        return answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst();
    }
    QString openFileName(QWidget*, const QString& caption, const QString&,
                         const QString& filter) override
    {
        return fileName(caption, filter);
    }
    QString saveFileName(QWidget*, const QString& caption, const QString&,
                         const QString& filter) override
    {
        return fileName(caption, filter);
    }

    // What happens while the next dialog is open: a real one runs the event
    // loop, in which a device may leave or another become current.
    std::function<void()> whileOpen;

    QList<QMessageBox::StandardButton> answers; // next message box answers
    QStringList fileNames;                      // next file dialog results
    QList<Shown> shown;
    QStringList captions;

private:
    void runWhileOpen()
    {
        if (auto run = std::exchange(whileOpen, nullptr))
            run();
    }
    QString fileName(const QString& caption, const QString& filter)
    {
        captions << caption << filter;
        runWhileOpen();
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }
};
