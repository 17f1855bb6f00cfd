// The "Trend" dock: up to eight polled values plotted over time beside the
// page that is showing. Each poll tick hands it the replies the page read;
// it reads what else its series need in the same tick, records one sample
// per series and redraws.
#pragma once

#include "trend/probe.h"
#include "trend/sampler.h"
#include "trend/series.h"

#include <QColor>
#include <QCoroTask>
#include <QDockWidget>
#include <QList>
#include <QPointF>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Clock;
class Dialogs;
class QChart;
class QChartView;
class QComboBox;
class QGridLayout;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class QVBoxLayout;
class QToolButton;
class QValueAxis;

namespace wire {
class Link;
}

namespace trend {

// One value the "+" menu offers, under its group ("Variables", "Outputs"...).
struct Choice
{
    QString group;
    Probe probe;
};

class Traces;

class TrendDock : public QDockWidget
{
    Q_OBJECT

public:
    static constexpr int kMaxSeries = 8;
    // The windows of time the plot shows, in milliseconds.
    static constexpr qint64 kWindowsMs[3] = {60'000, 600'000, 3'600'000};

    TrendDock(wire::Link &link, Dialogs &dialogs, Clock &clock, QWidget *parent = nullptr);
    ~TrendDock() override;

    // What the "+" menu offers, asked for each time it opens.
    void setChoices(std::function<QVector<Choice>()> choices) { m_choices = std::move(choices); }
    // The board the Axis page reads (nothing when it reads none), asked at
    // each tick: axis values are read from that board only.
    void setAxisBoard(std::function<std::optional<int>()> board) { m_axisBoard = std::move(board); }
    // The next axis read selects its board first: another tab may have
    // selected a different one meanwhile.
    void reselectBoard() { m_boardSelected.reset(); }

    // Adds a series and shows the dock; false when the value is plotted
    // already or eight series are.
    bool addSeries(const Probe &probe);
    void removeSeries(int index);
    bool canAdd(const Probe &probe) const;
    int seriesCount() const { return static_cast<int>(m_series.size()); }
    const Probe &probe(int index) const;
    const Series &samples(int index) const;

    // From the selected monitor page during its poll tick: each reply the
    // page read, then (a step of the same tick, the exchange slot still held)
    // the reads the page did not do and one sample per series. Nothing is
    // read or recorded while the dock is closed, nor for a page no longer
    // `shown`.
    void pageRead(const QString &command, const QString &reply);
    QCoro::Task<> pagePolled(bool shown = true);
    // Polling stopped (the console tab, Stop, no connection): the plot
    // holds still and says so until the next tick.
    void setPollingStopped(bool stopped);
    // A reply inside a running tick: polling has not stopped, however long
    // the tick takes.
    void tickGoesOn();

    // One sample per series at `ms` (nothing where a value is missing).
    void record(qint64 ms, const std::vector<std::optional<double>> &values);
    // The legend's last values, and the lines when the window has moved on
    // by a pixel column: what each tick does.
    void refresh();
    // The chart from the rings, for the window ending at the newest sample.
    void redraw();
    // The plot, once the dock has been shown (nothing before).
    QChartView *chartView() const { return m_view; }
    // The window of time shown: an index into kWindowsMs.
    void setWindow(int index);
    QString csv() const;
    // What hovering at x (in the chart's scene) shows: the clock time there
    // and each series' value; empty outside the plot area.
    QString hoverText(double x) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    struct Plot;
    // The chart, its axes and the lines' layer, made once.
    void ensureChart();
    // Whether a tick records samples (and reads what the page did not).
    bool sampling() const;
    void exportCsv();
    void exportPng();
    void fillAddMenu();
    void fillSeriesMenu();
    void onPauseToggled(bool paused);
    void updateStatus();
    qint64 newestMs() const;
    qint64 windowMs() const;
    int columns() const;
    void updateLegend(int index);
    void layOutLegend();
    void chooseColour(int index);
    // The reduced lines into the plot area's pixels, for the window and
    // value range the axes show.
    void mapLines();
    void setTimeAxis();

    wire::Link &m_link;
    Dialogs &m_dialogs;
    Clock &m_clock;
    std::function<QVector<Choice>()> m_choices;
    std::function<std::optional<int>()> m_axisBoard;
    // The board this dock selected for its axis reads since the last
    // reselectBoard().
    std::optional<int> m_boardSelected;
    Sampler m_sampler;
    QVector<Probe> m_probes; // in the order added: the order of the extra reads
    std::vector<std::unique_ptr<Plot>> m_series;
    std::vector<std::optional<double>> m_values; // one tick's, reused
    bool m_userPaused = false;
    bool m_pollingStopped = true;
    qint64 m_drawnFromMs = 0; // the window the lines show
    qint64 m_drawnToMs = 0;
    bool m_refreshPosted = false;

    QChart *m_chart = nullptr;
    QChartView *m_view = nullptr;
    Traces *m_traces = nullptr;    // owned by the view's scene
    QWidget *m_plotArea = nullptr; // the chart and its legend, as exported
    QVBoxLayout *m_plotLayout = nullptr;
    QWidget *m_legend = nullptr;
    QGridLayout *m_legendGrid = nullptr;
    QValueAxis *m_axisX = nullptr;
    QValueAxis *m_axisY = nullptr;
    QValueAxis *m_niceY = nullptr; // not in the chart: for working out ranges
    QToolButton *m_add = nullptr;
    QMenu *m_addMenu = nullptr;
    QToolButton *m_seriesButton = nullptr;
    QMenu *m_seriesMenu = nullptr;
    QComboBox *m_window = nullptr;
    QPushButton *m_pause = nullptr;
    QLabel *m_status = nullptr;
    // Restarted by every tick; running out means polling has stopped.
    QTimer *m_stale = nullptr;
};

} // namespace trend
