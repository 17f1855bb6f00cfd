// The window and its named controls: each exists once and names itself for
// tests and assistive tools; confirmations answer Return with "Cancel"; lamps
// are readable; the window fits a 1280x800 screen without clipping captions.
#include "app/mainwindow.h"
#include "support/fakeclock.h"
#include "support/scripteddialogs.h"
#include "support/widgets.h"
#include "ui/pagetabs.h"
#include "ui/qtdialogs.h"
#include "ui/uihelpers.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMap>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <functional>

class TestMainWindow : public QObject
{
    Q_OBJECT

    // One window for the run: the cases read it or change what no later case looks at.
    ScriptedDialogs m_dialogs;
    FakeClock m_clock;
    MainWindow *m_window = nullptr;

    // Shows every tab in turn with its layout settled, then calls `check`.
    void forEachTab(const std::function<void(QWidget *page)> &check)
    {
        m_window->show();
        auto *tabs = m_window->findChild<QTabWidget *>(QStringLiteral("tabview"));
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

    // Every named control: its name is its own, is its accessible description, and is heard.
    void namedControlsAreUniqueAndHeard()
    {
        QMap<QString, int> seen;
        const QList<QLabel *> labels = m_window->findChildren<QLabel *>();
        for (QWidget *w : m_window->findChildren<QWidget *>()) {
            const QString name = w->accessibleDescription();
            // Qt's own parts (a dock's title bar buttons) describe themselves.
            if (name.isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
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
    }

    // The real confirmation: Return, Enter and Space answer "Cancel"; only "Ok" confirms.
    void confirmationAnswersCancelToReturn()
    {
        QtDialogs dialogs(m_window);
        const auto answer = [&](const std::function<void(QMessageBox *)> &act) {
            QTimer::singleShot(0, m_window,
                               [&] { act(qobject_cast<QMessageBox *>(QApplication::activeModalWidget())); });
            return dialogs.confirm(QStringLiteral("SETP 5 P(0)"));
        };
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space})
            QVERIFY(!answer([key](QMessageBox *box) { QTest::keyClick(box->focusWidget(), key); }));
        QVERIFY(answer([](QMessageBox *box) {
            for (QAbstractButton *b : box->buttons())
                if (b->text() == QLatin1String("Ok"))
                    b->click();
        }));
    }

    void tabsCarryIdentifiers()
    {
        auto *tabs = m_window->findChild<QTabWidget *>(QStringLiteral("tabview"));
        QVERIFY(tabs);
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

    void lampsAreLargeAndPaletteColoured()
    {
        static const QRegularExpression lamp(QStringLiteral(
            "^(labelOut\\d|labelInp\\d|labelMemio\\d|labelMbkIo\\d+|labelCuOut\\d|labelCuInp\\d|"
            "labelPg[XYZU](Plmt|Mlmt|Alm|In0|In1|In3|Inp))$"));
        m_window->resize(1280, 800);
        int lamps = 0;
        forEachTab([&](QWidget *page) {
            for (QLabel *l : page->findChildren<QLabel *>()) {
                if (!lamp.match(l->objectName()).hasMatch())
                    continue;
                ++lamps;
                QVERIFY2(l->height() >= 20 && l->fontInfo().pixelSize() >= 20, qPrintable(l->objectName()));
                // Lamps are coloured through the palette, which a style sheet would override.
                QVERIFY2(l->styleSheet().isEmpty() && !l->text().isEmpty(), qPrintable(l->objectName()));
                QVERIFY2(heard(l).endsWith(QLatin1String(" off")), qPrintable(heard(l))); // and says so
            }
        });
        QCOMPARE(lamps, 8 * 3 + 16 + 8 * 2 + 28);
        QVERIFY(m_window->styleSheet().isEmpty());
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
            auto *other = radio(clicks[g]);
            QVERIFY(other && !other->isChecked());
            other->click();
            for (int i = 0; i < defaults.size(); ++i)
                QCOMPARE(radio(defaults[i])->isChecked(), i > g);
            QVERIFY(other->isChecked());
        }
    }

    void textColourRoundTrip() // labels colour their text, edit fields the text typed into them
    {
        const std::pair<const char *, QPalette::ColorRole> cases[] = {
            {"labelOut3", QPalette::WindowText}, {"textfieldMbkAdrSelect", QPalette::Text}};
        for (const auto &[name, role] : cases) {
            auto *w = m_window->findChild<QWidget *>(QLatin1String(name));
            QCOMPARE(ui::textRole(w), role);
            const QColor c(255, 165, 0);
            ui::setTextColor(w, c);
            QCOMPARE(ui::textColor(w), c);
            // Both focus states: the window is often inactive while the operator watches it.
            QCOMPARE(w->palette().color(QPalette::Active, role), c);
            QCOMPARE(w->palette().color(QPalette::Inactive, role), c);
        }
    }

    void captionsAreNotClipped_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("1280x800") << QSize(1280, 800);
        QTest::newRow("minimum") << QSize();
    }

    void captionsAreNotClipped()
    {
        QFETCH(QSize, size);
        const QSize hint = m_window->sizeHint();
        const QSize minimum = m_window->minimumSizeHint().expandedTo(m_window->minimumSize());
        QVERIFY(hint.width() <= 1280 && hint.height() <= 800);
        QVERIFY(minimum.width() <= 1100 && minimum.height() <= 700);
        m_window->resize(size.isValid() ? size : m_window->minimumSizeHint());
        forEachTab([&](QWidget *page) {
            for (QWidget *w : m_window->findChildren<QWidget *>()) {
                if (!w->isVisibleTo(m_window) || !w->isVisible())
                    continue;
                const QString what =
                    w->objectName().isEmpty() ? QLatin1String(w->metaObject()->className()) : w->objectName();
                if (auto *b = qobject_cast<QPushButton *>(w))
                    QVERIFY2(b->width() >= b->fontMetrics().horizontalAdvance(b->text()) + 8,
                             qPrintable(what));
                else if (qobject_cast<QCheckBox *>(w) || qobject_cast<QRadioButton *>(w) ||
                         (qobject_cast<QLabel *>(w) && !static_cast<QLabel *>(w)->wordWrap()))
                    QVERIFY2(w->width() >= w->minimumSizeHint().width(), qPrintable(what));
                // Nothing may stick out of its page.
                if (page->isAncestorOf(w))
                    QVERIFY2(page->rect().contains(QRect(w->mapTo(page, QPoint(0, 0)), w->size())),
                             qPrintable(what));
            }
        });
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
