// quorin-screenshot: renders every tab of the window to tab-N.png so the
// layout can be looked at without a screen (run it with the offscreen
// platform). With --demo the controls show typical values, as during a
// session, so that widths and colours can be judged. The pictures of the
// documentation are taken from a live session by quorin-shots (docs/tool).
//
//   quorin-screenshot [--out DIR] [--size WxH] [--font-pt N] [--demo]
#include "ui/mainwindow.h"
#include "ui/uihelpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextStream>

#include <functional>

namespace {

template <typename T> T *get(QWidget *root, const QString &name)
{
    return root->findChild<T *>(name);
}

void fillBanks(QComboBox *c, const QList<qint64> &banks, const std::function<QString(qint64)> &title)
{
    for (qint64 b : banks)
        c->addItem(title(b));
}

QString hex(qint64 v, int digits)
{
    return QStringLiteral("&H") +
           QString::number(v & 0xFFFFFFFF, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

void showBits(QWidget *root, const QString &prefix, const QString &stat, qint64 value, int bits,
              const std::function<qint64(int)> &number, const QColor &on, int digits)
{
    for (int k = 0; k < bits; ++k) {
        const QString idx = QString::number(k);
        get<QLabel>(root, prefix + idx + QStringLiteral("BitNo"))->setText(QString::number(number(k)));
        ui::setTextColor(get<QLabel>(root, prefix + idx), (value >> k) & 1 ? on : ui::kBlack);
    }
    get<QLabel>(root, stat)->setText(hex(value, digits));
}

void demo(MainWindow *w)
{
    const QColor red = ui::kRed, green = ui::kGreen, orange = ui::kOrange;
    get<QLineEdit>(w, QStringLiteral("textFieldIpAddress"))->setText(QStringLiteral("127.0.0.1:2323"));
    get<QLineEdit>(w, QStringLiteral("textFieldTimeOutSec"))->setText(QStringLiteral("30"));
    get<QLineEdit>(w, QStringLiteral("textField2"))->setText(QStringLiteral("Connected"));
    ui::setTextColor(get<QLabel>(w, QStringLiteral("labelindicator")), ui::kBlue);

    auto *console = get<QPlainTextEdit>(w, QStringLiteral("textView1"));
    console->setPlainText(
        QStringLiteral("*** Connected to the QUORIN. ***\n#LIST 10 20\n   10 *MAIN\n   20 A=0\n   30 *LOOP\n"
                       "   40 A=A+1\n   50 ON 3\n   60 WAIT 100\n   70 OFF 3\n   80 IF A<10 THEN *LOOP\n   "
                       "90 END\n#RUN\n#"));
    for (const char *n : {"comboBox1", "comboBox2", "comboBox3"})
        get<QComboBox>(w, QLatin1String(n))->setEditText(QString());
    get<QComboBox>(w, QStringLiteral("comboBox1"))->setEditText(QStringLiteral("PR A"));
    get<QComboBox>(w, QStringLiteral("comboBox3"))->setEditText(QStringLiteral("0"));

    QList<qint64> out, inp, rel, mbk, cu;
    for (int i = 0; i <= 23; ++i)
        out << i;
    for (int i = 24; i <= 47; ++i)
        inp << i;
    for (int i = -1; i >= -1024; --i)
        rel << i;
    for (int i = 0; i < 100; ++i)
        mbk << 70000 + 100 * i;
    for (int i = 2000; i <= 2511; ++i)
        cu << i;
    auto byteTitle = [](qint64 n) {
        return QStringLiteral("%1 ( %2 .. %3 )").arg(n).arg(8 * n + 7).arg(8 * n);
    };
    fillBanks(get<QComboBox>(w, QStringLiteral("popupbuttonOutBank")), out, byteTitle);
    fillBanks(get<QComboBox>(w, QStringLiteral("popupbuttonInpBank")), inp, byteTitle);
    fillBanks(get<QComboBox>(w, QStringLiteral("popupbuttonMemioBank")), rel,
              [](qint64 n) { return QStringLiteral("%1 ( %2 .. %3 )").arg(n).arg(8 * n).arg(8 * n + 7); });
    fillBanks(get<QComboBox>(w, QStringLiteral("popupbuttonMbkIoBank")), mbk,
              [](qint64 n) { return QStringLiteral("%1 ( %2 .. %3 )").arg(n).arg(n + 15).arg(n); });
    auto cuTitle = [](qint64 n) {
        return QStringLiteral("%1 ( %2 .. %3 )").arg(n).arg(8 * (n - 2000) + 2007).arg(8 * (n - 2000) + 2000);
    };
    fillBanks(get<QComboBox>(w, QStringLiteral("popupbuttonCuOutBank")), cu, cuTitle);
    fillBanks(get<QComboBox>(w, QStringLiteral("popupbuttonCuInpBank")), cu, cuTitle);

    showBits(
        w, QStringLiteral("labelOut"), QStringLiteral("labelOutStat"), 0x05, 8,
        [](int k) { return qint64(k); }, red, 2);
    showBits(
        w, QStringLiteral("labelInp"), QStringLiteral("labelInpStat"), 0x81, 8,
        [](int k) { return qint64(192 + k); }, green, 2);
    showBits(
        w, QStringLiteral("labelMemio"), QStringLiteral("labelMemioStat"), 0x80, 8,
        [](int k) { return qint64(-1 - k); }, orange, 2);
    showBits(
        w, QStringLiteral("labelMbkIo"), QStringLiteral("labelMbkIoStat"), 0xA05F, 16,
        [](int k) { return qint64(70000 + k); }, orange, 4);
    showBits(
        w, QStringLiteral("labelCuOut"), QStringLiteral("labelCuOutStat"), 0x12, 8,
        [](int k) { return qint64(2000 + k); }, red, 2);
    showBits(
        w, QStringLiteral("labelCuInp"), QStringLiteral("labelCuInpStat"), 0x00, 8,
        [](int k) { return qint64(2000 + k); }, green, 2);

    const QStringList names = {QStringLiteral("A"),
                               QStringLiteral("COUNT"),
                               QStringLiteral("MSG$"),
                               QStringLiteral("DATA_#4"),
                               QString(),
                               QString(),
                               QString(),
                               QString()};
    const QStringList values = {QStringLiteral("25"),
                                QStringLiteral("-1"),
                                QStringLiteral("HELLO\\r\\n"),
                                QStringLiteral("1200"),
                                QString(),
                                QString(),
                                QString(),
                                QString()};
    for (int i = 0; i < 8; ++i) {
        get<QLineEdit>(w, QStringLiteral("textfieldVariName%1").arg(i))->setText(names.at(i));
        get<QCheckBox>(w, QStringLiteral("checkboxVari%1").arg(i))->setChecked(!names.at(i).isEmpty());
        get<QLabel>(w, QStringLiteral("textfieldVariValue%1").arg(i))->setText(values.at(i));
    }
    get<QLineEdit>(w, QStringLiteral("textFieldVariable"))->setText(QStringLiteral(" 1200"));

    get<QLineEdit>(w, QStringLiteral("textfieldMbkAdrSelect"))->setText(QStringLiteral("100"));
    get<QSpinBox>(w, QStringLiteral("stepperMbkAdrSelect"))->setValue(100);
    for (int i = 0; i < 8; ++i) {
        get<QLineEdit>(w, QStringLiteral("textfieldMbkAdr%1").arg(i))->setText(QString::number(100 + i));
        get<QLineEdit>(w, QStringLiteral("textfieldMbkData%1").arg(i))
            ->setText(QString::number(i * 1000 - 1));
    }
    get<QLineEdit>(w, QStringLiteral("textfieldMbkModAdr"))->setText(QStringLiteral("0"));
    get<QLineEdit>(w, QStringLiteral("textfieldMbkModData"))->setText(QStringLiteral("0"));

    auto *board = get<QComboBox>(w, QStringLiteral("popupbuttonPgSelect"));
    board->addItem(QStringLiteral("None"));
    for (int i = 0; i <= 17; ++i)
        board->addItem(QString::number(i));
    board->setCurrentIndex(1);
    get<QComboBox>(w, QStringLiteral("popupbuttonPgPulse"))
        ->addItems({QStringLiteral("1"), QStringLiteral("10"), QStringLiteral("100"), QStringLiteral("1000"),
                    QStringLiteral("10000")});
    get<QComboBox>(w, QStringLiteral("popupbuttonPgPulse"))->setCurrentIndex(1);
    get<QComboBox>(w, QStringLiteral("popupbuttonPgAceel"))
        ->addItems({QStringLiteral("100"), QStringLiteral("500"), QStringLiteral("1000"),
                    QStringLiteral("5000"), QStringLiteral("10000")});
    get<QComboBox>(w, QStringLiteral("popupbuttonPgAceel"))->setCurrentIndex(2);
    get<QComboBox>(w, QStringLiteral("popupbuttonPgReg"))
        ->addItems({QStringLiteral("RR(ALL_A)"), QStringLiteral("RR(X_A)"), QStringLiteral("RR3(Z_A,1)")});
    const QString axes = QStringLiteral("XYUZ");
    const qint64 pos[4] = {12500, -300, 0, 98000};
    for (int a = 0; a < 4; ++a) {
        get<QLabel>(w, QStringLiteral("labelPgCurrentPos") + axes.at(a))->setText(QString::number(pos[a]));
        get<QLabel>(w, QStringLiteral("labelPgCounter") + axes.at(a))->setText(QString::number(pos[a] + 3));
        get<QLineEdit>(w, QStringLiteral("textfieldPgPosSet") + axes.at(a))->setText(QStringLiteral("0"));
    }
    get<QLabel>(w, QStringLiteral("labelPgReg"))->setText(QStringLiteral("000000FF"));
    for (const char *lit : {"labelPgXInp", "labelPgYInp", "labelPgZPlmt", "labelPgUIn0"})
        ui::setTextColor(get<QLabel>(w, QLatin1String(lit)), green);
    get<QLineEdit>(w, QStringLiteral("textfieldPgAdrSelect"))->setText(QStringLiteral("1"));
    get<QSpinBox>(w, QStringLiteral("stepperPgAdrSelect"))->setValue(1);
    for (int r = 0; r < 4; ++r) {
        get<QLineEdit>(w, QStringLiteral("textfieldPgAdr%1").arg(r))->setText(QString::number(r + 1));
        for (int a = 0; a < 4; ++a)
            get<QLineEdit>(w, QStringLiteral("textfieldPgData%1%2").arg(axes.at(a)).arg(r))
                ->setText(QString::number((r + 1) * 1000 * (a + 1) - (a == 1 ? 123456 : 0)));
    }
    get<QLineEdit>(w, QStringLiteral("textfieldPgPosSetPnum"))->setText(QStringLiteral("0"));
    get<QLineEdit>(w, QStringLiteral("textfieldPgTeachNum"))->setText(QStringLiteral("5"));

    get<QLineEdit>(w, QStringLiteral("textfieldTaskNoSelect"))->setText(QStringLiteral("0"));
    for (int i = 0; i < 8; ++i) {
        get<QLineEdit>(w, QStringLiteral("textfieldTaskNo%1").arg(i))->setText(QString::number(i));
        get<QLineEdit>(w, QStringLiteral("textfieldTaskStep%1").arg(i))
            ->setText(i < 2 ? QString::number(40 + 10 * i) : QStringLiteral("0"));
        get<QLineEdit>(w, QStringLiteral("textfieldTaskStatus%1").arg(i))
            ->setText(i < 2 ? QStringLiteral("1") : QStringLiteral("0"));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral("Render every tab of the monitor window to PNG files."));
    cli.addHelpOption();
    QCommandLineOption outOpt(QStringLiteral("out"), QStringLiteral("Output folder."), QStringLiteral("dir"),
                              QStringLiteral("layout"));
    QCommandLineOption sizeOpt(QStringLiteral("size"),
                               QStringLiteral("Window size, WxH; \"min\" for the minimum."),
                               QStringLiteral("size"), QStringLiteral("1280x800"));
    QCommandLineOption fontOpt(QStringLiteral("font-pt"), QStringLiteral("Application font size in points."),
                               QStringLiteral("pt"));
    QCommandLineOption demoOpt(QStringLiteral("demo"),
                               QStringLiteral("Show typical values in the controls."));
    cli.addOptions({outOpt, sizeOpt, fontOpt, demoOpt});
    cli.process(app);

    if (cli.isSet(fontOpt)) {
        QFont f = QApplication::font();
        f.setPointSizeF(cli.value(fontOpt).toDouble());
        QApplication::setFont(f);
    }

    MainWindow window;
    if (cli.isSet(demoOpt))
        demo(&window);
    QSize size = window.minimumSizeHint();
    if (cli.value(sizeOpt) != QLatin1String("min")) {
        const QStringList wh = cli.value(sizeOpt).split(QLatin1Char('x'));
        if (wh.size() == 2)
            size = QSize(wh.at(0).toInt(), wh.at(1).toInt());
    }
    window.resize(size);
    window.show();

    QTextStream err(stderr);
    const QDir dir(cli.value(outOpt));
    if (!QDir().mkpath(dir.path())) {
        err << "cannot create " << dir.path() << '\n';
        return 1;
    }
    err << "window " << window.width() << 'x' << window.height() << ", size hint "
        << window.sizeHint().width() << 'x' << window.sizeHint().height() << ", minimum "
        << window.minimumSizeHint().width() << 'x' << window.minimumSizeHint().height() << '\n';
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabview"));
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QApplication::processEvents();
        const QSize hint = tabs->widget(i)->sizeHint();
        const QSize least = tabs->widget(i)->minimumSizeHint();
        err << "tab " << i << " (" << tabs->tabText(i) << "): size hint " << hint.width() << 'x'
            << hint.height() << ", minimum " << least.width() << 'x' << least.height() << '\n';
        const QString file = dir.filePath(QStringLiteral("tab-%1.png").arg(i));
        if (!window.grab().save(file)) {
            err << "cannot write " << file << '\n';
            return 1;
        }
    }
    return 0;
}
