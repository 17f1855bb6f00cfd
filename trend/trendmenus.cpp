// The dock's menus (what can be added, each line's colour and removal) and
// its exports to CSV and PNG.
#include "core/dialogs.h"
#include "core/savefile.h"
#include "trend/csv.h"
#include "trend/plot.h"
#include "trend/trenddock.h"

#include <QAction>
#include <QBuffer>
#include <QColorDialog>
#include <QMenu>
#include <QPixmap>
#include <QWidget>

namespace trend {

QString TrendDock::csv() const
{
    QStringList names;
    std::vector<const Series *> rings;
    for (const auto &p : m_series) {
        names << p->probe.label;
        rings.push_back(&p->ring);
    }
    return csvText(names, rings);
}

void TrendDock::exportCsv()
{
    const QString path = m_dialogs.saveFile(
        FileDialogSpec{QStringLiteral("Export CSV"), QStringLiteral("The plotted samples as CSV"),
                       QStringLiteral("csv"), QString(), QStringLiteral("trend.csv")});
    if (path.isEmpty())
        return;
    const QString why = core::saveWhole(path, csv().toUtf8());
    if (!why.isEmpty())
        m_dialogs.alert(QStringLiteral("Save Error\n\n\"") + path + QLatin1Char('"'), why,
                        Dialogs::Style::Critical);
}

void TrendDock::exportPng()
{
    const QString path = m_dialogs.saveFile(
        FileDialogSpec{QStringLiteral("Export PNG"), QStringLiteral("The plot as an image"),
                       QStringLiteral("png"), QString(), QStringLiteral("trend.png")});
    if (path.isEmpty())
        return;
    ensureChart();
    // Encoded first, then written whole: an image saved over an older one
    // never leaves half of it behind.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    const QString why = m_plotArea->grab().save(&buffer, "PNG")
                            ? core::saveWhole(path, png)
                            : QStringLiteral("The image could not be encoded.");
    if (!why.isEmpty())
        m_dialogs.alert(QStringLiteral("Save Error\n\n\"") + path + QLatin1Char('"'), why,
                        Dialogs::Style::Critical);
}

void TrendDock::fillAddMenu()
{
    m_addMenu->clear();
    const QVector<Choice> choices = m_choices ? m_choices() : QVector<Choice>();
    QMenu *group = nullptr;
    for (const Choice &c : choices) {
        if (!group || group->title() != c.group)
            group = m_addMenu->addMenu(c.group);
        QAction *a = group->addAction(c.probe.label);
        a->setEnabled(canAdd(c.probe));
        const Probe p = c.probe;
        connect(a, &QAction::triggered, this, [this, p] { addSeries(p); });
    }
    if (choices.isEmpty())
        m_addMenu->addAction(QStringLiteral("Nothing to plot"))->setEnabled(false);
}

void TrendDock::fillSeriesMenu()
{
    m_seriesMenu->clear();
    for (int i = 0; i < seriesCount(); ++i) {
        QMenu *m = m_seriesMenu->addMenu(probe(i).label);
        QPixmap swatch(12, 12);
        swatch.fill(m_series[static_cast<size_t>(i)]->colour);
        m->setIcon(QIcon(swatch));
        const Probe p = probe(i);
        const auto indexOf = [this, p] { return static_cast<int>(m_probes.indexOf(p)); };
        connect(m->addAction(QStringLiteral("Colour\u2026")), &QAction::triggered, this,
                [this, indexOf] { chooseColour(indexOf()); });
        connect(m->addAction(QStringLiteral("Remove")), &QAction::triggered, this,
                [this, indexOf] { removeSeries(indexOf()); });
    }
    if (seriesCount() == 0)
        m_seriesMenu->addAction(QStringLiteral("No series"))->setEnabled(false);
}

void TrendDock::chooseColour(int index)
{
    if (index < 0 || index >= seriesCount())
        return;
    Plot &p = *m_series[static_cast<size_t>(index)];
    const QColor c = QColorDialog::getColor(p.colour, this, QStringLiteral("Series colour"));
    if (!c.isValid())
        return;
    p.colour = c;
    layOutLegend();
    mapLines();
}

} // namespace trend
