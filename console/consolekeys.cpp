// The console tab's keys: the shortcuts that act wherever the focus is on
// this tab, and the modifier state they read.
#include "console/commandbox.h"
#include "console/consolepage.h"
#include "console/consoleview.h"
#include "console/sidepanel.h"
#include "core/watchlock.h"
#include "link/link.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QStackedWidget>

namespace console {

bool ConsolePage::isCurrentTab() const
{
    const auto *stack = qobject_cast<const QStackedWidget *>(parentWidget());
    return !stack || stack->currentWidget() == this;
}

void ConsolePage::onModifiersChanged(Qt::KeyboardModifiers modifiers)
{
    if (modifiers == Qt::NoModifier) {
        m_modifierHeld = false;
        return;
    }
    m_shiftHeld = modifiers.testFlag(Qt::ShiftModifier);
    m_controlHeld = modifiers.testFlag(Qt::ControlModifier);
    m_modifierHeld = true;
}

bool ConsolePage::handleShortcutKey(QKeyEvent *event)
{
    wire::trace(QString::number(event->key()));
    if (!isCurrentTab() || !wire::isUp(m_link.state()))
        return false;
    // A held key repeats its press: the shortcuts act on the first one only,
    // and not at all while a dialog of theirs is open, so holding Control+L
    // never queues a string of file dialogs or transfers.
    if (event->isAutoRepeat() || QApplication::activeModalWidget())
        return false;
    const bool shift = m_shiftHeld && m_modifierHeld;
    const bool control = m_controlHeld && m_modifierHeld;
    // Not QShortcuts: these keys act only on this tab while connected, and
    // Control counts only as onModifiersChanged() recorded it.
    switch (event->key()) {
    case Qt::Key_F2:
        onClearConsoleClicked();
        break;
    case Qt::Key_F3:
        if (!consoleSelection().isEmpty())
            queueListStart();
        else
            m_listStartBox->setFocus(Qt::ShortcutFocusReason);
        break;
    case Qt::Key_F4:
        if (m_buttonListNext->isEnabled())
            queue([this] { echoAndSend(QStringLiteral("LIST")); });
        else
            m_listStartBox->setFocus(Qt::ShortcutFocusReason);
        break;
    case Qt::Key_F5:
        if (shift) {
            m_shiftHeld = false;
            pickProgramLine();
        } else {
            m_programLineBox->setFocus(Qt::ShortcutFocusReason);
        }
        break;
    case Qt::Key_F6:
        pickProgramLine();
        break;
    case Qt::Key_F7:
        m_commandBox->setFocus(Qt::ShortcutFocusReason);
        break;
    case Qt::Key_F8:
        m_liveOutputBox->setChecked(!m_liveOutputBox->isChecked());
        break;
    case Qt::Key_Escape:
        focusConsole();
        break;
    // Run, the attention byte and the program load change the machine: their
    // keys do nothing while the watch-only lock is on, like their buttons.
    case Qt::Key_BracketRight:
        if (control && !m_lock.locked()) {
            queue([this] { onRunClicked(); }, Effect::Changes);
            focusConsole();
        }
        break;
    case Qt::Key_Backslash:
        if (control && !m_lock.locked()) {
            queue([this] { onCtrlAClicked(); }, Effect::Changes);
            focusConsole();
        }
        break;
    case Qt::Key_M:
        if (control) {
            emit m_side->monitorListRequested(); // as its button does
            focusConsole();
        }
        break;
    case Qt::Key_L:
        if (control && !m_lock.locked()) {
            emit m_side->programLoadRequested(); // as its button does
            focusConsole();
        }
        break;
    default:
        break;
    }
    return false;
}

bool ConsolePage::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto *key = static_cast<QKeyEvent *>(event);
        // Only the first delivery of each key event (Qt re-sends it up the
        // parent chain when a widget ignores it), and only in this window.
        auto *w = watched->isWidgetType() ? static_cast<QWidget *>(watched) : nullptr;
        if (w && w == QApplication::focusWidget() && w->window() == window()) {
            if (key->modifiers() != m_lastModifiers) {
                m_lastModifiers = key->modifiers();
                onModifiersChanged(m_lastModifiers);
            }
            // A held Return repeats its press; each repeat would send the
            // field's line again or open its confirmation again.
            if (event->type() == QEvent::KeyPress && key->isAutoRepeat() &&
                (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter))
                return true;
            if (event->type() == QEvent::KeyPress && handleShortcutKey(key))
                return true;
        }
    }
    return ui::Page::eventFilter(watched, event);
}

} // namespace console
