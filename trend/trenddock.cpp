#include "trend/trenddock.h"

#include "trend/plot.h"

#include "core/clock.h"
#include "core/csv.h"
#include "core/dialogs.h"
#include "link/link.h"
#include "monitor/polling.h"
#include "trend/traces.h"
#include "ui/controls.h"
#include "ui/uihelpers.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

namespace trend {

namespace {

// A second without a tick (three missed ones) means polling has stopped.
constexpr std::chrono::milliseconds kStaleAfter{1000};

const QColor kPalette[TrendDock::kMaxSeries] = {
    QColor(31, 119, 180),  QColor(214, 39, 40),  QColor(44, 160, 44), QColor(255, 127, 14),
    QColor(148, 103, 189), QColor(23, 190, 207), QColor(140, 86, 75), QColor(227, 119, 194),
};

const QString kStoppedText = QStringLiteral("Polling stopped: plot paused");
const QString kPausedText = QStringLiteral("Paused");

QString valueText(double v)
{
    return core::numberText(v, 10);
}

} // namespace

TrendDock::TrendDock(wire::Link &link, Dialogs &dialogs, Clock &clock, QWidget *parent)
    : QDockWidget(QStringLiteral("Trend"), parent), m_link(link), m_dialogs(dialogs), m_clock(clock)
{
    setObjectName(QStringLiteral("dockTrend"));
    setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea | Qt::BottomDockWidgetArea);

    auto *body = new QWidget;
    auto *v = new QVBoxLayout(body);
    v->setContentsMargins(6, 4, 6, 6);
    v->setSpacing(4);

    auto *bar = new QHBoxLayout;
    bar->setSpacing(6);
    m_add = ui::named(new QToolButton, QStringLiteral("buttonTrendAdd"));
    m_add->setText(QStringLiteral("+"));
    m_add->setToolTip(QStringLiteral("Plot a value"));
    m_add->setAccessibleName(QStringLiteral("Plot a value"));
    m_add->setPopupMode(QToolButton::InstantPopup);
    m_addMenu = new QMenu(m_add);
    m_add->setMenu(m_addMenu);
    connect(m_addMenu, &QMenu::aboutToShow, this, &TrendDock::fillAddMenu);
    bar->addWidget(m_add);

    m_seriesButton = ui::named(new QToolButton, QStringLiteral("buttonTrendSeries"));
    m_seriesButton->setText(QStringLiteral("Series"));
    m_seriesButton->setToolTip(QStringLiteral("Colour or remove a series"));
    m_seriesButton->setPopupMode(QToolButton::InstantPopup);
    m_seriesMenu = new QMenu(m_seriesButton);
    m_seriesButton->setMenu(m_seriesMenu);
    connect(m_seriesMenu, &QMenu::aboutToShow, this, &TrendDock::fillSeriesMenu);
    bar->addWidget(m_seriesButton);
    bar->addStretch(1);
    v->addLayout(bar);
    bar = new QHBoxLayout;
    bar->setSpacing(6);

    m_window = ui::makePopup(QStringLiteral("popupbuttonTrendWindow"), QStringLiteral("Time shown"), 6);
    m_window->addItems({QStringLiteral("1 min"), QStringLiteral("10 min"), QStringLiteral("1 h")});
    connect(m_window, &QComboBox::currentIndexChanged, this, [this] {
        setTimeAxis();
        redraw();
    });
    bar->addWidget(m_window);

    m_pause = ui::makeButton(QStringLiteral("buttonTrendPause"), QStringLiteral("Pause"),
                             QStringLiteral("Hold the plot still; sampling goes on"));
    m_pause->setCheckable(true);
    connect(m_pause, &QPushButton::toggled, this, &TrendDock::onPauseToggled);
    bar->addWidget(m_pause);
    bar->addStretch(1);
    v->addLayout(bar);
    // The buttons on three short lines: beside the pages on a small screen
    // the dock is narrow.
    bar = new QHBoxLayout;
    bar->setSpacing(6);
    QPushButton *csvButton = ui::makeButton(QStringLiteral("buttonTrendCsv"), QStringLiteral("CSV\u2026"),
                                            QStringLiteral("Export the samples as CSV"));
    connect(csvButton, &QPushButton::clicked, this, &TrendDock::exportCsv);
    bar->addWidget(csvButton);
    QPushButton *pngButton = ui::makeButton(QStringLiteral("buttonTrendPng"), QStringLiteral("PNG\u2026"),
                                            QStringLiteral("Export the plot as a PNG image"));
    connect(pngButton, &QPushButton::clicked, this, &TrendDock::exportPng);
    bar->addWidget(pngButton);
    v->addLayout(bar);

    m_status = ui::named(new QLabel, QStringLiteral("labelTrendStatus"));
    m_status->setWordWrap(true); // a narrow dock breaks it, not the window
    v->addWidget(m_status);

    // The chart comes with the dock's first showing (see ensureChart()).
    m_plotArea = new QWidget;
    m_plotLayout = new QVBoxLayout(m_plotArea);
    m_plotLayout->setContentsMargins(0, 0, 0, 0);
    m_plotLayout->setSpacing(2);
    m_legend = ui::named(new QWidget, QStringLiteral("legendTrend"));
    m_legend->setAccessibleName(QStringLiteral("Legend"));
    m_legendGrid = new QGridLayout(m_legend);
    m_legendGrid->setContentsMargins(4, 0, 4, 4);
    m_legendGrid->setHorizontalSpacing(8);
    m_legendGrid->setVerticalSpacing(0);
    m_plotLayout->addWidget(m_legend);
    v->addWidget(m_plotArea, 1);
    setWidget(body);

    m_stale = new QTimer(this);
    m_stale->setSingleShot(true);
    m_stale->setInterval(kStaleAfter);
    connect(m_stale, &QTimer::timeout, this, [this] { setPollingStopped(true); });
    updateStatus();
}

TrendDock::~TrendDock() = default;

void TrendDock::ensureChart()
{
    if (m_chart)
        return;
    m_chart = new QChart;
    m_chart->setMargins(QMargins(4, 4, 4, 4));
    m_chart->setBackgroundRoundness(0);
    m_chart->setDropShadowEnabled(false);
    // The view's own background fills just what is repainted; the chart's
    // would fill its whole rectangle each time the lines move.
    m_chart->setBackgroundVisible(false);
    // The legend is a row of widgets under the chart: its values change
    // every tick, and the chart's own legend would lay the whole chart out
    // again each time.
    m_chart->legend()->hide();
    // Time on the x axis counts back from the newest sample. Its labels then
    // change only with the window: clock times would be laid out and drawn
    // anew with every step of the plot. Hovering shows the clock time.
    m_axisX = new QValueAxis;
    m_axisY = new QValueAxis;
    m_axisY->setLabelFormat(QStringLiteral("%g"));
    m_chart->addAxis(m_axisX, Qt::AlignBottom);
    m_chart->addAxis(m_axisY, Qt::AlignLeft);
    m_axisY->setRange(0, 1);
    m_niceY = new QValueAxis(this);
    m_view = ui::named(new QChartView(m_chart), QStringLiteral("chartTrend"));
    m_view->setRenderHint(QPainter::Antialiasing, false);
    m_view->setBackgroundRole(QPalette::Base);
    m_traces = new Traces;
    m_traces->setZValue(m_chart->zValue() + 1);
    m_view->scene()->addItem(m_traces);
    connect(m_chart, &QChart::plotAreaChanged, this, [this](const QRectF &area) {
        setTimeAxis(); // as many time labels as the width has room for
        m_traces->setArea(area);
        mapLines();
    });
    m_view->setAccessibleName(QStringLiteral("Trend plot"));
    m_view->viewport()->installEventFilter(this);
    // Small enough to sit beside the pages on a 1280x800 screen; the user
    // widens the dock for a longer look.
    m_view->setMinimumSize(120, 160);
    m_plotLayout->insertWidget(0, m_view, 1);
    setTimeAxis();
    redraw();
}

void TrendDock::showEvent(QShowEvent *event)
{
    // Built as the dock first shows: most windows never plot.
    ensureChart();
    QDockWidget::showEvent(event);
}

bool TrendDock::canAdd(const Probe &probe) const
{
    return seriesCount() < kMaxSeries && !m_probes.contains(probe);
}

const Probe &TrendDock::probe(int index) const
{
    return m_series.at(static_cast<size_t>(index))->probe;
}

const Series &TrendDock::samples(int index) const
{
    return m_series.at(static_cast<size_t>(index))->ring;
}

bool TrendDock::addSeries(const Probe &probe)
{
    if (!canAdd(probe))
        return false;
    auto plot = std::make_unique<Plot>(probe);
    // The first colour of the palette that no series uses.
    for (const QColor &c : kPalette) {
        const bool used = std::any_of(m_series.begin(), m_series.end(),
                                      [&c](const std::unique_ptr<Plot> &p) { return p->colour == c; });
        if (!used) {
            plot->colour = c;
            break;
        }
    }
    // A click on the key hides the series; the key stays, greyed, and a
    // second click brings the line back.
    plot->key = new QToolButton;
    plot->key->setAutoRaise(true);
    plot->key->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    plot->key->setToolTip(QStringLiteral("Show or hide this series"));
    // Its text changes every tick; its size must not move the chart.
    plot->key->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    Plot *added = plot.get();
    connect(plot->key, &QToolButton::clicked, this, [this, added] {
        added->shown = !added->shown;
        layOutLegend();
        redraw();
    });
    m_series.push_back(std::move(plot));
    m_probes.append(probe);
    layOutLegend();
    show();
    raise();
    redraw();
    return true;
}

void TrendDock::removeSeries(int index)
{
    if (index < 0 || index >= seriesCount())
        return;
    delete m_series[static_cast<size_t>(index)]->key;
    m_series.erase(m_series.begin() + index);
    m_probes.removeAt(index);
    layOutLegend();
    redraw();
}

void TrendDock::pageRead(const QString &command, const QString &reply)
{
    if (sampling())
        m_sampler.pageRead(command, reply);
}

bool TrendDock::sampling() const
{
    // Closed, the dock costs the controller nothing: its series stay, and
    // opening it again resumes them after a gap. Paused, it goes on.
    return !m_series.empty() && !isHidden();
}

QCoro::Task<> TrendDock::pagePolled(bool shown)
{
    if (!shown) {
        m_sampler.endTick();
        co_return;
    }
    m_stale->start();
    setPollingStopped(false);
    if (!sampling()) {
        m_sampler.endTick();
        co_return;
    }
    // Inside the tick: the slot is held, so these follow the page's own
    // exchanges directly, one at a time.
    const QPointer<TrendDock> self(this);
    const std::optional<int> board = m_axisBoard ? m_axisBoard() : std::nullopt;
    const QVector<Read> reads = m_sampler.extraReads(m_probes, board, board != m_boardSelected);
    for (const Read &read : reads) {
        if (!wire::isUp(m_link.state()))
            break;
        if (!read.selection.isEmpty()) {
            const std::optional<QString> selected = co_await m_link.exchange(read.selection);
            if (!self)
                co_return;
            if (!selected || monitor::boardRefused(*selected)) {
                m_boardSelected.reset();
                continue;
            }
            m_boardSelected = board;
        }
        const std::optional<QString> reply = co_await m_link.exchange(read.command);
        if (!self)
            co_return;
        if (reply)
            m_sampler.extraRead(read.command, *reply);
    }
    m_values.resize(m_series.size());
    for (size_t i = 0; i < m_series.size(); ++i)
        m_values[i] = m_sampler.value(m_series[i]->probe);
    m_sampler.endTick();
    record(m_clock.now().toMSecsSinceEpoch(), m_values);
    // Drawn once the tick has let go of the exchange slot.
    if (!m_refreshPosted) {
        m_refreshPosted = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_refreshPosted = false;
                refresh();
            },
            Qt::QueuedConnection);
    }
}

void TrendDock::refresh()
{
    for (int i = 0; i < seriesCount(); ++i)
        updateLegend(i);
    if (m_userPaused)
        return;
    // Laying an hour of eight series out again costs milliseconds, so the
    // lines are redrawn when the window has moved on by one pixel column;
    // with the short windows that is every tick.
    const qint64 columnMs = windowMs() / std::max(1, columns());
    // A clock set back moves the newest sample behind what was drawn.
    if (newestMs() - m_drawnToMs >= columnMs || newestMs() < m_drawnToMs)
        redraw();
}

void TrendDock::record(qint64 ms, const std::vector<std::optional<double>> &values)
{
    for (size_t i = 0; i < m_series.size(); ++i) {
        if (i < values.size() && values[i])
            m_series[i]->ring.append(ms, *values[i]);
        else
            m_series[i]->ring.dropAfter(ms); // a gap, and after a clock set back no sample ahead of it
    }
}

void TrendDock::setPollingStopped(bool stopped)
{
    if (stopped == m_pollingStopped)
        return;
    m_pollingStopped = stopped;
    if (stopped)
        m_stale->stop();
    updateStatus();
    redraw();
}

void TrendDock::tickGoesOn()
{
    if (!m_pollingStopped)
        m_stale->start();
}

void TrendDock::onPauseToggled(bool paused)
{
    m_userPaused = paused;
    m_pause->setText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    updateStatus();
    redraw();
}

void TrendDock::updateStatus()
{
    m_status->setText(m_pollingStopped ? kStoppedText : (m_userPaused ? kPausedText : QString()));
    m_status->setAccessibleName(m_status->text());
}

void TrendDock::updateLegend(int index)
{
    Plot &p = *m_series[static_cast<size_t>(index)];
    const std::optional<Sample> last = p.ring.last();
    const QString text = last ? p.probe.label + QStringLiteral(": ") + valueText(last->value) : p.probe.label;
    if (p.key->text() != text) {
        p.key->setText(text);
        p.key->setAccessibleName(text);
    }
}

void TrendDock::layOutLegend()
{
    // Two keys a row, in the order the series were added.
    for (int i = 0; i < seriesCount(); ++i) {
        Plot &p = *m_series[static_cast<size_t>(i)];
        m_legendGrid->removeWidget(p.key);
        m_legendGrid->addWidget(p.key, i / 2, i % 2);
        p.key->setObjectName(QStringLiteral("buttonTrendKey") + QString::number(i));
        p.key->setAccessibleDescription(p.key->objectName());
        const bool shown = p.shown;
        QPixmap swatch(14, 14);
        swatch.fill(shown ? p.colour : QColor(Qt::transparent));
        if (!shown) {
            QPainter painter(&swatch);
            painter.setPen(p.colour);
            painter.drawRect(0, 0, 13, 13);
        }
        p.key->setIcon(QIcon(swatch));
        ui::setTextColor(p.key, shown ? ui::kBlack : ui::kLightGray);
        updateLegend(i);
    }
    m_legend->setVisible(seriesCount() > 0);
}

void TrendDock::redraw()
{
    for (int i = 0; i < seriesCount(); ++i)
        updateLegend(i);
    if (!m_chart)
        return;
    // Paused, the window stays where it was; the rings go on filling. A
    // line hidden, recoloured or removed meanwhile still shows as such, and
    // another length of window chosen meanwhile ends where the pause did.
    // The value axis fits the lines shown, paused or not.
    if (!m_userPaused || m_drawnToMs - m_drawnFromMs != windowMs()) {
        const qint64 to = m_userPaused ? m_drawnToMs : newestMs();
        const qint64 from = to - windowMs();
        const int columns = this->columns();
        // Set before the axes change: a new y range lays the chart out and
        // maps the lines at once, and they must go into this window.
        m_drawnFromMs = from;
        m_drawnToMs = to;
        for (const auto &p : m_series)
            reduce(p->ring, from, to, columns, &p->points);
    }
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (const auto &p : m_series) {
        if (p->shown) {
            for (const QPointF &pt : std::as_const(p->points)) {
                lo = std::min(lo, pt.y());
                hi = std::max(hi, pt.y());
            }
        }
    }
    if (lo > hi) {
        lo = 0;
        hi = 1;
    }
    const double margin = hi > lo ? (hi - lo) * 0.08 : std::max(1.0, std::abs(hi) * 0.1);
    // Worked out on an axis outside the chart: a range set on the chart's
    // own axis lays the chart out again, so only a changed one is.
    m_niceY->setRange(lo - margin, hi + margin);
    m_niceY->applyNiceNumbers();
    if (m_niceY->min() != m_axisY->min() || m_niceY->max() != m_axisY->max() ||
        m_niceY->tickCount() != m_axisY->tickCount()) {
        m_axisY->setTickCount(m_niceY->tickCount());
        m_axisY->setRange(m_niceY->min(), m_niceY->max());
    }
    mapLines();
}

void TrendDock::mapLines()
{
    if (!m_chart)
        return;
    std::vector<Traces::Line> &lines = m_traces->lines();
    lines.resize(m_series.size());
    m_traces->setArea(m_chart->plotArea());
    for (size_t i = 0; i < m_series.size(); ++i) {
        const Plot &p = *m_series[i];
        lines[i].colour = p.colour;
        lines[i].shown = p.shown;
        toPixels(p.points, m_drawnFromMs, m_drawnToMs, m_axisY->min(), m_axisY->max(), m_traces->area(),
                 &lines[i].pixels);
    }
    m_traces->changed();
}

void TrendDock::setTimeAxis()
{
    if (!m_axisX)
        return;
    // Seconds for the minute, minutes for the longer windows; a tick each
    // fifteen seconds, two minutes or quarter of an hour. In a narrow dock
    // the labels would run into each other and end in "...": a tick at the
    // start, the middle and the end of the window then, or at its two ends.
    const double label = QFontMetrics(m_axisX->labelsFont()).horizontalAdvance(QStringLiteral("-60 min"));
    const auto ticks = [this, label](int count) {
        const double width = m_chart->plotArea().width();
        return width / (count - 1) > label ? count : (width / 2 > label ? 3 : 2);
    };
    switch (std::clamp(m_window->currentIndex(), 0, 2)) {
    case 0:
        m_axisX->setRange(-60, 0);
        m_axisX->setTickCount(ticks(5));
        m_axisX->setLabelFormat(QStringLiteral("%g s"));
        break;
    case 1:
        m_axisX->setRange(-10, 0);
        m_axisX->setTickCount(ticks(6));
        m_axisX->setLabelFormat(QStringLiteral("%g min"));
        break;
    default:
        m_axisX->setRange(-60, 0);
        m_axisX->setTickCount(ticks(5));
        m_axisX->setLabelFormat(QStringLiteral("%g min"));
        break;
    }
}

QString TrendDock::hoverText(double x) const
{
    if (!m_traces)
        return QString();
    const QRectF area = m_traces->area();
    if (m_series.empty() || area.width() <= 0 || x < area.left() || x > area.right())
        return QString();
    const qint64 ms =
        m_drawnFromMs + qRound64((x - area.left()) / area.width() * double(m_drawnToMs - m_drawnFromMs));
    QStringList lines{QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss.zzz"))};
    // Each series' sample at or just before that time.
    for (const auto &p : m_series) {
        const int at = p->ring.lowerBound(ms + 1) - 1;
        if (at >= 0 && ms - p->ring.at(at).ms <= windowMs() / std::max(1, columns()) + 300)
            lines << p->probe.label + QStringLiteral(": ") + valueText(p->ring.at(at).value);
    }
    return lines.join(QLatin1Char('\n'));
}

bool TrendDock::eventFilter(QObject *watched, QEvent *event)
{
    if (m_view && watched == m_view->viewport() && event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QString text = hoverText(m_view->mapToScene(help->pos()).x());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, m_view);
        return true;
    }
    return QDockWidget::eventFilter(watched, event);
}

void TrendDock::setWindow(int index)
{
    m_window->setCurrentIndex(index);
}

qint64 TrendDock::newestMs() const
{
    qint64 to = std::numeric_limits<qint64>::min();
    for (const auto &p : m_series) {
        if (const std::optional<Sample> last = p->ring.last())
            to = std::max(to, last->ms);
    }
    return to == std::numeric_limits<qint64>::min() ? m_clock.now().toMSecsSinceEpoch() : to;
}

qint64 TrendDock::windowMs() const
{
    return kWindowsMs[std::clamp(m_window->currentIndex(), 0, 2)];
}

int TrendDock::columns() const
{
    return std::max(60, static_cast<int>(m_chart->plotArea().width()));
}

} // namespace trend
