// The window against the list of controls the ViewController binds by name:
// every control exists once with the right class and names itself for tests
// and assistive tools; tag buttons carry their tags; lamps are readable; the
// window fits a 1280x800 screen without clipping captions.
#include "ui/mainwindow.h"
#include "ui/uihelpers.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>

#include <functional>
#include <map>

namespace {

// The controls section of the ViewController header is the authoritative
// list; reading it here keeps the window and the binding from drifting apart.
QString viewControllerHeader()
{
    const QFileInfo self(QStringLiteral(__FILE__));
    return self.absoluteDir().absoluteFilePath(QStringLiteral("../../app/viewcontroller.h"));
}

struct Control
{
    QString name;
    QString className;
};

// Array members expand to one name per element: index appended, except that
// "BitNo" stays last, axis arrays take the axis letter, the signal lamps put
// the letter after "labelPg" and the point table is letter then row.
QList<Control> expand(const QString &cls, const QString &member, int n1, int n2)
{
    static const QString xyuz = QStringLiteral("XYUZ");
    static const QString xyzu = QStringLiteral("XYZU");
    static const QRegularExpression signal(QStringLiteral("^labelPg(Plmt|Mlmt|Alm|In0|In1|In3|Inp)$"));
    static const QStringList axisArrays = {
        QStringLiteral("textfieldPgPosSet"), QStringLiteral("textfieldPgModData"),
        QStringLiteral("labelPgCurrentPos"), QStringLiteral("labelPgCounter")};
    QList<Control> out;
    if (n1 == 0) {
        out.append({member, cls});
    } else if (n2 > 0) {
        for (int row = 0; row < n1; ++row)
            for (int axis = 0; axis < n2; ++axis)
                out.append({member + xyuz.at(axis) + QString::number(row), cls});
    } else if (const auto m = signal.match(member); m.hasMatch()) {
        for (int i = 0; i < n1; ++i)
            out.append({QStringLiteral("labelPg") + xyzu.at(i) + m.captured(1), cls});
    } else if (axisArrays.contains(member)) {
        for (int i = 0; i < n1; ++i)
            out.append({member + xyuz.at(i), cls});
    } else if (member.endsWith(QStringLiteral("BitNo"))) {
        const QString stem = member.chopped(5);
        for (int i = 0; i < n1; ++i)
            out.append({stem + QString::number(i) + QStringLiteral("BitNo"), cls});
    } else {
        for (int i = 0; i < n1; ++i)
            out.append({member + QString::number(i), cls});
    }
    return out;
}

QList<Control> controlsFromHeader()
{
    QFile f(viewControllerHeader());
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QString text = QString::fromUtf8(f.readAll());
    const qsizetype from = text.indexOf(QStringLiteral("// ---- controls"));
    const qsizetype to = text.indexOf(QStringLiteral("Dialogs *dialogs()"), from);
    if (from < 0 || to < 0)
        return {};
    static const QRegularExpression decl(
        QStringLiteral(R"(^\s*(Q\w+)\s*\*\s*(\w+)\s*(?:\[(\d+)\])?\s*(?:\[(\d+)\])?\s*=)"),
        QRegularExpression::MultilineOption);
    QList<Control> out;
    auto it = decl.globalMatch(text.mid(from, to - from));
    while (it.hasNext()) {
        const auto m = it.next();
        out += expand(m.captured(1), m.captured(2), m.captured(3).toInt(), m.captured(4).toInt());
    }
    return out;
}

using ClassCheck = std::function<bool(QObject *)>;
template <typename T> ClassCheck is()
{
    return [](QObject *o) { return qobject_cast<T *>(o) != nullptr; };
}
const std::map<QString, ClassCheck> &classChecks()
{
    static const std::map<QString, ClassCheck> checks = {
        {QStringLiteral("QCheckBox"), is<QCheckBox>()},
        {QStringLiteral("QComboBox"), is<QComboBox>()},
        {QStringLiteral("QGroupBox"), is<QGroupBox>()},
        {QStringLiteral("QLabel"), is<QLabel>()},
        {QStringLiteral("QLineEdit"), is<QLineEdit>()},
        {QStringLiteral("QPlainTextEdit"), is<QPlainTextEdit>()},
        {QStringLiteral("QPushButton"), is<QPushButton>()},
        {QStringLiteral("QRadioButton"), is<QRadioButton>()},
        {QStringLiteral("QSpinBox"), is<QSpinBox>()},
        {QStringLiteral("QTabWidget"), is<QTabWidget>()},
    };
    return checks;
}

struct TagFamily
{
    const char *action;
    QList<int> tags;
};

QList<int> range(int from, int to)
{
    QList<int> r;
    for (int i = from; i <= to; ++i)
        r.append(i);
    return r;
}

const QList<TagFamily> &tagFamilies()
{
    static const QList<TagFamily> families = {
        {"buttonOutOnOff", range(0, 15) + range(20, 35) + QList<int>{40, 41}},
        {"buttonMbkIoOnOff", range(0, 31) + QList<int>{40}},
        {"buttonCuOnOff", range(0, 15) + QList<int>{40}},
        {"buttonPgHout", range(0, 7)},
        {"buttonPgJog", range(0, 17)},
    };
    return families;
}

bool isLampName(const QString &name)
{
    static const QRegularExpression lamp(
        QStringLiteral("^(labelOut\\d|labelInp\\d|labelMemio\\d|labelMbkIo\\d+|labelCuOut\\d|labelCuInp\\d|"
                       "labelPg[XYZU](Plmt|Mlmt|Alm|In0|In1|In3|Inp))$"));
    return lamp.match(name).hasMatch();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void cleanupTestCase();

    void headerIsReadable();
    void controls_data();
    void controls();
    void tagButtons_data();
    void tagButtons();
    void tabsCarryIdentifiers();
    void lampsAreLargeAndPaletteColoured();
    void radioGroupsAreExclusive_data();
    void radioGroupsAreExclusive();
    void textColourRoundTrip_data();
    void textColourRoundTrip();
    void comboBoxesKeepTheirOwnHistory();
    void menuActions();
    void fitsTheScreen();
    void captionsAreNotClipped_data();
    void captionsAreNotClipped();

private:
    MainWindow *m_window = nullptr;
    bool m_shared = false;
};

void TestMainWindow::init()
{
    // The row-by-row reading tests share one window; every other test gets a
    // fresh one, since they resize, click and recolour.
    const QByteArray function(QTest::currentTestFunction());
    const bool reading = function == "controls" || function == "tagButtons";
    if (reading && m_shared && m_window)
        return;
    delete m_window;
    m_window = new MainWindow;
    m_shared = reading;
}

void TestMainWindow::cleanup()
{
    if (m_shared)
        return;
    delete m_window;
    m_window = nullptr;
}

void TestMainWindow::cleanupTestCase()
{
    delete m_window;
    m_window = nullptr;
}

void TestMainWindow::headerIsReadable()
{
    const QList<Control> all = controlsFromHeader();
    // The header declares a few hundred controls; far fewer means the parse
    // (not the window) is broken, and the table below would prove nothing.
    QVERIFY2(all.size() > 300, qPrintable(viewControllerHeader()));
    for (const Control &c : all)
        QVERIFY2(classChecks().count(c.className), qPrintable(c.className));
}

void TestMainWindow::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    for (const Control &c : controlsFromHeader())
        QTest::newRow(qPrintable(c.name)) << c.name << c.className;
}

void TestMainWindow::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    const QList<QWidget *> found = m_window->findChildren<QWidget *>(name);
    QCOMPARE(found.size(), 1);
    QWidget *w = found.first();
    QVERIFY2(classChecks().at(className)(w),
             qPrintable(QStringLiteral("%1 is a %2").arg(name, QLatin1String(w->metaObject()->className()))));
    QCOMPARE(w->accessibleDescription(), name);
    // Something a person can hear: the caption, or a name given for it.
    const bool captioned = [w] {
        if (auto *b = qobject_cast<QAbstractButton *>(w))
            return !b->text().isEmpty();
        if (auto *g = qobject_cast<QGroupBox *>(w))
            return !g->title().isEmpty();
        if (auto *l = qobject_cast<QLabel *>(w))
            return l->text().size() > 1;
        return false;
    }();
    const bool labelled = [w] {
        for (QLabel *l : w->window()->findChildren<QLabel *>())
            if (l->buddy() == w)
                return true;
        return false;
    }();
    const bool needsName =
        !qobject_cast<QComboBox *>(w) && !qobject_cast<QTabWidget *>(w) && !captioned && !labelled;
    if (needsName)
        QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(name));
}

void TestMainWindow::tagButtons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("tag");
    for (const TagFamily &f : tagFamilies())
        for (int tag : f.tags) {
            const QString name = QLatin1String(f.action) + QString::number(tag);
            QTest::newRow(qPrintable(name)) << name << tag;
        }
}

void TestMainWindow::tagButtons()
{
    QFETCH(QString, name);
    QFETCH(int, tag);
    const QList<QPushButton *> found = m_window->findChildren<QPushButton *>(name);
    QCOMPARE(found.size(), 1);
    QPushButton *b = found.first();
    QCOMPARE(b->property("tag").toInt(), tag);
    QCOMPARE(b->property("tag").typeId(), QMetaType::Int);
    QCOMPARE(b->accessibleDescription(), name);
    QVERIFY(!b->text().isEmpty());
}

void TestMainWindow::tabsCarryIdentifiers()
{
    auto *tabs = m_window->findChild<QTabWidget *>(QStringLiteral("tabview"));
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), MainWindow::kTabCount);
    const QStringList labels = {QStringLiteral("Console"), QStringLiteral("I/O"), QStringLiteral("Variables"),
                                QStringLiteral("MBK"),     QStringLiteral("CU"),  QStringLiteral("Axis"),
                                QStringLiteral("Tasks")};
    for (int i = 0; i < tabs->count(); ++i) {
        QCOMPARE(tabs->widget(i)->property("identifier").toString(), QString::number(i));
        QCOMPARE(tabs->tabText(i), labels.at(i));
    }
    // The pages hold what their identifier says they poll.
    const struct
    {
        int tab;
        const char *control;
    } owners[] = {{0, "textView1"},    {1, "labelMemio7"},       {2, "textfieldVariValue7"},
                  {3, "labelMbkIo15"}, {3, "textfieldMbkData7"}, {4, "labelCuInp7"},
                  {5, "labelPgUInp"},  {5, "textfieldPgDataZ3"}, {6, "textfieldTaskStatus7"}};
    for (const auto &o : owners) {
        auto *w = m_window->findChild<QWidget *>(QLatin1String(o.control));
        QVERIFY2(w, o.control);
        QVERIFY2(tabs->widget(o.tab)->isAncestorOf(w), o.control);
    }
}

void TestMainWindow::lampsAreLargeAndPaletteColoured()
{
    m_window->resize(1280, 800);
    m_window->show();
    auto *tabs = m_window->findChild<QTabWidget *>(QStringLiteral("tabview"));
    int lamps = 0;
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QCoreApplication::sendPostedEvents();
        m_window->layout()->activate();
        for (QLabel *l : tabs->widget(i)->findChildren<QLabel *>()) {
            if (!isLampName(l->objectName()))
                continue;
            ++lamps;
            QVERIFY2(l->height() >= 20, qPrintable(l->objectName()));
            QVERIFY2(l->fontInfo().pixelSize() >= 20, qPrintable(l->objectName()));
            // The program colours lamps through the palette; a style sheet
            // would silently override it.
            QVERIFY2(l->styleSheet().isEmpty(), qPrintable(l->objectName()));
            QVERIFY(!l->text().isEmpty());
            ui::setTextColor(l, Qt::red);
            QCOMPARE(l->palette().color(QPalette::WindowText), QColor(Qt::red));
        }
    }
    QCOMPARE(lamps, 8 * 3 + 16 + 8 * 2 + 28);
    QVERIFY(m_window->styleSheet().isEmpty());
}

void TestMainWindow::radioGroupsAreExclusive_data()
{
    QTest::addColumn<QString>("defaultOn");
    QTest::addColumn<QString>("click");
    QTest::addColumn<QStringList>("elsewhere");
    const QStringList others = {
        QStringLiteral("radiobuttonVariTypeDec"), QStringLiteral("radiobuttonMbkTypeDec"),
        QStringLiteral("radiobuttonPgTypeDec"), QStringLiteral("radiobuttonMbkSizeInt")};
    auto without = [&others](const QString &n) {
        QStringList l = others;
        l.removeAll(n);
        return l;
    };
    QTest::newRow("variables") << "radiobuttonVariTypeDec"
                               << "radiobuttonVariTypeHex"
                               << without(QStringLiteral("radiobuttonVariTypeDec"));
    QTest::newRow("mbk type") << "radiobuttonMbkTypeDec"
                              << "radiobuttonMbkTypeHex" << without(QStringLiteral("radiobuttonMbkTypeDec"));
    QTest::newRow("axis type") << "radiobuttonPgTypeDec"
                               << "radiobuttonPgTypeHex" << without(QStringLiteral("radiobuttonPgTypeDec"));
    QTest::newRow("mbk size wrd") << "radiobuttonMbkSizeInt"
                                  << "radiobuttonMbkSizeWrd"
                                  << without(QStringLiteral("radiobuttonMbkSizeInt"));
    QTest::newRow("mbk size lng") << "radiobuttonMbkSizeInt"
                                  << "radiobuttonMbkSizeLng"
                                  << without(QStringLiteral("radiobuttonMbkSizeInt"));
}

void TestMainWindow::radioGroupsAreExclusive()
{
    QFETCH(QString, defaultOn);
    QFETCH(QString, click);
    QFETCH(QStringList, elsewhere);
    auto *on = m_window->findChild<QRadioButton *>(defaultOn);
    auto *other = m_window->findChild<QRadioButton *>(click);
    QVERIFY(on && other);
    QVERIFY(on->isChecked());
    QVERIFY(!other->isChecked());
    other->click();
    QVERIFY(other->isChecked());
    QVERIFY(!on->isChecked());
    for (const QString &n : elsewhere)
        QVERIFY2(m_window->findChild<QRadioButton *>(n)->isChecked(), qPrintable(n));
}

void TestMainWindow::textColourRoundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("role");
    QTest::newRow("lamp") << "labelOut3" << int(QPalette::WindowText);
    QTest::newRow("value label") << "textfieldVariValue2" << int(QPalette::WindowText);
    QTest::newRow("indicator") << "labelindicator" << int(QPalette::WindowText);
    QTest::newRow("edit field") << "textfieldMbkAdrSelect" << int(QPalette::Text);
    QTest::newRow("address field") << "textFieldIpAddress" << int(QPalette::Text);
}

void TestMainWindow::textColourRoundTrip()
{
    QFETCH(QString, name);
    QFETCH(int, role);
    auto *w = m_window->findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(int(ui::textRole(w)), role);
    for (const QColor &c : {QColor(Qt::red), QColor(Qt::black), QColor(Qt::lightGray), QColor(255, 165, 0)}) {
        ui::setTextColor(w, c);
        QCOMPARE(ui::textColor(w), c);
        // Both focus states show the colour: the window is often inactive
        // while the operator watches it.
        QCOMPARE(w->palette().color(QPalette::Active, QPalette::ColorRole(role)), c);
        QCOMPARE(w->palette().color(QPalette::Inactive, QPalette::ColorRole(role)), c);
    }
}

void TestMainWindow::comboBoxesKeepTheirOwnHistory()
{
    // Return in a command box must not add items by itself: the program keeps
    // the history (most recent first, no duplicates).
    m_window->show();
    for (const char *name : {"comboBox1", "comboBox2", "comboBox3"}) {
        auto *c = m_window->findChild<QComboBox *>(QLatin1String(name));
        QVERIFY(c->isEditable());
        c->setEditText(QStringLiteral("PR A"));
        QTest::keyClick(c->lineEdit(), Qt::Key_Return);
        QCOMPARE(c->count(), 0);
    }
}

void TestMainWindow::menuActions()
{
    QAction *open = m_window->menuOpenFile();
    QAction *about = m_window->menuAbout();
    QVERIFY(open && about);
    QCOMPARE(m_window->findChild<QAction *>(QStringLiteral("menuOpenFile")), open);
    QCOMPARE(m_window->findChild<QAction *>(QStringLiteral("menuAbout")), about);
    QCOMPARE(open->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    QCOMPARE(open->text(), QStringLiteral("Open Program\u2026"));
    QCOMPARE(about->text(), QStringLiteral("About QuorinMonitor"));
}

void TestMainWindow::fitsTheScreen()
{
    const QSize hint = m_window->sizeHint();
    const QSize minimum = m_window->minimumSizeHint().expandedTo(m_window->minimumSize());
    QVERIFY2(hint.width() <= 1280 && hint.height() <= 800,
             qPrintable(QStringLiteral("size hint %1x%2").arg(hint.width()).arg(hint.height())));
    QVERIFY2(minimum.width() <= 1100 && minimum.height() <= 700,
             qPrintable(QStringLiteral("minimum %1x%2").arg(minimum.width()).arg(minimum.height())));
    QVERIFY(m_window->width() <= 1280 && m_window->height() <= 800);
}

void TestMainWindow::captionsAreNotClipped_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("1280x800") << QSize(1280, 800);
    QTest::newRow("minimum") << QSize();
}

void TestMainWindow::captionsAreNotClipped()
{
    QFETCH(QSize, size);
    m_window->resize(size.isValid() ? size : m_window->minimumSizeHint());
    m_window->show();
    auto *tabs = m_window->findChild<QTabWidget *>(QStringLiteral("tabview"));
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QCoreApplication::sendPostedEvents();
        m_window->layout()->activate();
        for (QWidget *w : m_window->findChildren<QWidget *>()) {
            if (!w->isVisibleTo(m_window) || !w->isVisible())
                continue;
            const QString what =
                w->objectName().isEmpty() ? QLatin1String(w->metaObject()->className()) : w->objectName();
            if (auto *b = qobject_cast<QPushButton *>(w)) {
                const int need = b->fontMetrics().horizontalAdvance(b->text()) + 8;
                QVERIFY2(b->width() >= need, qPrintable(QStringLiteral("%1 \"%2\" is %3 px, needs %4")
                                                            .arg(what, b->text())
                                                            .arg(b->width())
                                                            .arg(need)));
            } else if (qobject_cast<QCheckBox *>(w) || qobject_cast<QRadioButton *>(w) ||
                       (qobject_cast<QLabel *>(w) && !static_cast<QLabel *>(w)->wordWrap())) {
                QVERIFY2(w->width() >= w->minimumSizeHint().width(),
                         qPrintable(QStringLiteral("%1 is %2 px, needs %3")
                                        .arg(what)
                                        .arg(w->width())
                                        .arg(w->minimumSizeHint().width())));
            }
            // Nothing may stick out of its page.
            if (tabs->widget(i)->isAncestorOf(w)) {
                const QRect r(w->mapTo(tabs->widget(i), QPoint(0, 0)), w->size());
                QVERIFY2(tabs->widget(i)->rect().contains(r), qPrintable(what));
            }
        }
    }
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
