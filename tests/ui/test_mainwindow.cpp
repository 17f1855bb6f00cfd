// The window's named controls, each once and heard; confirmations answer Return with "Cancel";
// lamps are readable; the window fits a 1280x800 screen without clipping captions.
#include "app/mainwindow.h"
#include "link/link.h"
#include "support/fakeclock.h"
#include "support/scripteddialogs.h"
#include "support/widgets.h"
#include "ui/pagetabs.h"
#include "ui/qtdialogs.h"
#include "ui/uihelpers.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>

using namespace Qt::StringLiterals;

class TestMainWindow : public QObject
{
    Q_OBJECT

    // One window for the run: the cases read it or change what no later case looks at.
    ScriptedDialogs m_dialogs;
    FakeClock m_clock;
    MainWindow *m_window = nullptr;

    void forEachTab(const std::function<void(QWidget *page)> &check)
    {
        m_window->show();
        auto *tabs = m_window->findChild<QTabWidget *>(u"tabview"_s);
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QCoreApplication::sendPostedEvents();
            m_window->layout()->activate();
            check(tabs->widget(i));
            if (QTest::currentTestFailed())
                return;
        }
    }

private slots:
    void initTestCase()
    {
        m_window = new MainWindow(&m_dialogs, &m_clock);
        m_window->pageTabs().buildAll(); // the checks read every page
    }
    void cleanupTestCase() { delete m_window; }

    // Every named control: its name is its own, is its accessible description, and is heard; each
    // page carries its identifier.
    void namedControlsAreUniqueAndHeard()
    {
        QMap<QString, int> seen;
        const QList<QLabel *> labels = m_window->findChildren<QLabel *>();
        for (QWidget *w : m_window->findChildren<QWidget *>()) {
            const QString name = w->accessibleDescription();
            // Qt's own parts (a dock's title bar buttons) describe themselves.
            if (name.isEmpty() || w->objectName().startsWith(u"qt_"_s))
                continue;
            ++seen[name];
            QCOMPARE(w->objectName(), name);
            // The caption, a buddy label, or a name; a label as what it shows (lamps: their state).
            bool heard = qobject_cast<QComboBox *>(w) || qobject_cast<QTabWidget *>(w) ||
                         qobject_cast<QLabel *>(w) || !w->accessibleName().isEmpty();
            if (auto *b = qobject_cast<QAbstractButton *>(w))
                heard |= !b->text().isEmpty();
            if (auto *g = qobject_cast<QGroupBox *>(w))
                heard |= !g->title().isEmpty();
            for (QLabel *l : labels)
                heard |= l->buddy() == w;
            QVERIFY2(heard, qPrintable(name));
        }
        for (auto it = seen.cbegin(); it != seen.cend(); ++it)
            QVERIFY2(it.value() == 1, qPrintable(it.key()));
        // The seven pages' controls are all there to be checked.
        QVERIFY(seen.size() > 300);
        auto *tabs = m_window->findChild<QTabWidget *>(u"tabview"_s);
        QCOMPARE(tabs->count(), 7);
        // Each page holds what its identifier says it polls.
        const char *owned[] = {"textView1",   "labelMemio7", "textfieldVariValue7", "labelMbkIo15",
                               "labelCuInp7", "labelPgUInp", "textfieldTaskStatus7"};
        for (int i = 0; i < tabs->count(); ++i) {
            QCOMPARE(tabs->widget(i)->property("identifier").toString(), QString::number(i));
            QVERIFY2(tabs->widget(i)->isAncestorOf(m_window->findChild<QWidget *>(QLatin1String(owned[i]))),
                     owned[i]);
        }
    }

    // The real confirmation: Return, Enter and Space answer "Cancel"; only "Ok" confirms.
    void confirmationAnswersCancelToReturn()
    {
        QtDialogs dialogs(m_window);
        const auto answer = [&](const std::function<void(QMessageBox *)> &act) {
            QTimer::singleShot(0, m_window,
                               [&] { act(qobject_cast<QMessageBox *>(QApplication::activeModalWidget())); });
            return dialogs.confirm(u"SETP 5 P(0)"_s);
        };
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space})
            QVERIFY(!answer([key](QMessageBox *box) { QTest::keyClick(box->focusWidget(), key); }));
        QVERIFY(answer([](QMessageBox *box) {
            for (QAbstractButton *b : box->buttons())
                if (b->text() == u"Ok"_s)
                    b->click();
        }));
    }

    void lampsAreLargeAndPaletteColoured()
    {
        static const QRegularExpression lamp(
            u"^(labelOut\\d|labelInp\\d|labelMemio\\d|labelMbkIo\\d+|labelCuOut\\d|labelCuInp\\d|"
            "labelPg[XYZU](Plmt|Mlmt|Alm|In0|In1|In3|Inp))$"_s);
        m_window->resize(1280, 800);
        int lamps = 0;
        forEachTab([&](QWidget *page) {
            for (QLabel *l : page->findChildren<QLabel *>()) {
                if (!lamp.match(l->objectName()).hasMatch())
                    continue;
                ++lamps;
                QVERIFY2(l->height() >= 20 && l->fontInfo().pixelSize() >= 20, qPrintable(l->objectName()));
                // Coloured through the palette, which a style sheet would override; and heard so.
                QVERIFY2(l->styleSheet().isEmpty() && !l->text().isEmpty() && heard(l).endsWith(u" off"_s),
                         qPrintable(l->objectName() + u": "_s + heard(l)));
            }
        });
        QCOMPARE(lamps, 8 * 3 + 16 + 8 * 2 + 28);
        QVERIFY(m_window->styleSheet().isEmpty());
        // A colour holds in both focus states: the window is often inactive while the operator watches it.
        const QColor c(255, 165, 0);
        for (const auto &[name, role] : {std::pair{"labelOut3", QPalette::WindowText},
                                         std::pair{"textfieldMbkAdrSelect", QPalette::Text}}) {
            auto *w = m_window->findChild<QWidget *>(QLatin1String(name));
            ui::setTextColor(w, c);
            QCOMPARE(w->palette().color(QPalette::Active, role), c);
            QCOMPARE(w->palette().color(QPalette::Inactive, role), c);
        }
    }

    // Each click flips its own group only; the other groups keep their default.
    void radioGroupsAreExclusive()
    {
        const QStringList defaults = {"VariTypeDec", "MbkTypeDec", "PgTypeDec", "MbkSizeInt"};
        const QStringList clicks = {"VariTypeHex", "MbkTypeHex", "PgTypeHex", "MbkSizeLng"};
        const auto radio = [&](const QString &n) {
            return control<QRadioButton>(m_window, "radiobutton" + n);
        };
        for (int g = 0; g < defaults.size(); ++g) {
            QVERIFY(!radio(clicks[g])->isChecked());
            radio(clicks[g])->click();
            for (int i = 0; i < defaults.size(); ++i)
                QCOMPARE(radio(defaults[i])->isChecked(), i > g);
            QVERIFY(radio(clicks[g])->isChecked());
        }
    }

    // At 1280x800 and at its smallest: no caption clipped, nothing sticking out of its page.
    void captionsAreNotClipped()
    {
        const QSize hint = m_window->sizeHint();
        const QSize minimum = m_window->minimumSizeHint().expandedTo(m_window->minimumSize());
        QVERIFY(hint.width() <= 1280 && hint.height() <= 800);
        QVERIFY(minimum.width() <= 1100 && minimum.height() <= 700);
        // With the journal, the trend or both beside the pages it still fits, frame and title bar included.
        auto *journal = m_window->findChild<QDockWidget *>(u"dockOperatorJournal"_s);
        auto *trend = m_window->findChild<QDockWidget *>(u"dockTrend"_s);
        m_window->show();
        for (const auto &[j, t] : {std::pair{true, false}, std::pair{false, true}, std::pair{true, true}}) {
            journal->setVisible(j);
            trend->setVisible(t);
            QCoreApplication::sendPostedEvents();
            m_window->layout()->activate();
            const QSize docked = m_window->minimumSizeHint().expandedTo(m_window->minimumSize());
            QVERIFY2(docked.width() <= 1272 && docked.height() <= 760,
                     qPrintable(u"%1x%2"_s.arg(docked.width()).arg(docked.height())));
        }
        journal->hide();
        trend->hide();
        // The status bar at its fullest: a long host name, the ticks, the watch-only sign, a controller's
        // name.
        m_window->findChild<QLabel *>(u"labelLinkAddress"_s)
            ->setText(u"press-line-7-spindle-and-feed-controller.cell-a.plant-3.example.com:23"_s);
        auto *ticks = m_window->findChild<QLabel *>(u"labelPollTicks"_s);
        ticks->setText(u"ticks 200 run, 0 skipped in the last minute"_s);
        ticks->parentWidget()->show();
        m_window->findChild<QLabel *>(u"labelWatchOnly"_s)->show();
        auto *name = m_window->findChild<QLabel *>(u"labelControllerName"_s);
        name->setText(u"Press line 7 spindle"_s);
        name->show();
        name->parentWidget()->show();
        for (const QSize size : {QSize(1280, 800), m_window->minimumSizeHint()}) {
            m_window->resize(size);
            forEachTab([&](QWidget *page) {
                for (QWidget *w : m_window->findChildren<QWidget *>()) {
                    if (!w->isVisibleTo(m_window) || !w->isVisible())
                        continue;
                    const QString what = w->objectName().isEmpty()
                                             ? QLatin1String(w->metaObject()->className())
                                             : w->objectName();
                    if (auto *b = qobject_cast<QPushButton *>(w))
                        QVERIFY2(b->width() >= b->fontMetrics().horizontalAdvance(b->text()) + 8,
                                 qPrintable(what));
                    else if (qobject_cast<QCheckBox *>(w) || qobject_cast<QRadioButton *>(w) ||
                             (qobject_cast<QLabel *>(w) && !static_cast<QLabel *>(w)->wordWrap()))
                        QVERIFY2(w->width() >= w->minimumSizeHint().width(), qPrintable(what));
                    if (page->isAncestorOf(w))
                        QVERIFY2(page->rect().contains(QRect(w->mapTo(page, QPoint(0, 0)), w->size())),
                                 qPrintable(what));
                }
            });
            // A long report in the status line: what it cannot show, its tool tip does.
            auto *status = m_window->findChild<QLineEdit *>(u"textField2"_s);
            const QString report =
                u"Backed up to \"/home/operator/backups/cell-a/192.0.2.1_2026-12-10_14-53-14\""_s;
            status->setText(report);
            QVERIFY(status->fontMetrics().horizontalAdvance(report) > status->width());
            QCOMPARE(status->toolTip(), report);
            status->clear();
            // The star counts the seconds of a wait for the prompt, up to the default timeout and past it.
            auto *star = m_window->findChild<QLabel *>(u"labelindicator"_s);
            for (const qint64 seconds : {29, 120}) {
                emit m_window->link().waitProgress(seconds);
                QCoreApplication::sendPostedEvents();
                m_window->layout()->activate();
                QVERIFY2(star->width() >= star->minimumSizeHint().width(), qPrintable(star->text()));
            }
            star->hide();
        }
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
