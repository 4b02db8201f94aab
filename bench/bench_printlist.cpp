// Printing the program's contact list to a PDF file, as the print menu of the contact frame
// does it: the shipped script is prepared on the contacts table and every page is drawn into the
// PDF, which is written when the job ends. Lists of about 10 and 100 pages (25 contacts a page),
// each run at least three times and its median taken; prints the time of the 100 pages (the goal
// is under a second), the time per page of both sizes, whose ratio stays near 1 when the work
// grows linearly with the pages, and the floor: the same list drawn straight onto a QPdfWriter
// with QPainter (the same fonts, texts, lines and page layout, no script), against which the
// goal is 2.5 times at most.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "core/ExtClientDataSet.h"
#include "core/ProgramFolders.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitMain.h"
#include "platform/UIServices.h"
#include "script/QSHandler.h"
#include "BenchSupport.h"

namespace {

// The contact list has about 25 contacts a page.
constexpr int kContactsPerPage = 25;

// A program folder with the shipped contact list script and a contacts table of the size asked.
struct ContactListPrint {
    explicit ContactListPrint(int pages) {
        const QString folder = dir.path() + QStringLiteral("/");
        QDir().mkpath(folder + QStringLiteral("Data/Res"));
        QDir().mkpath(folder + QStringLiteral("Data/Scripts"));
        QFile::copy(QStringLiteral(MYKO_PROGRAM_DIR "/Data/Res/Districts.dat"),
                    folder + QStringLiteral("Data/Res/Districts.dat"));
        QFile::copy(QStringLiteral(MYKO_PROGRAM_DIR "/Data/Scripts/Kontaktlista.qsf"),
                    folder + QStringLiteral("Data/Scripts/Kontaktlista.qsf"));
        SetProgramFolder(dir.path());
        dm = std::make_unique<TDM>(dir.path());
        TDMServices::Install(dm.get());
        TExtClientDataSet* contacts = dm->cdsContacts;
        // One commit for all of them.
        contacts->SetAutoSave(false);
        for (int i = 1; i <= pages * kContactsPerPage; ++i) {
            contacts->Append();
            contacts->FieldByName(QStringLiteral("UserName"))
                ->SetAsString(QStringLiteral("Kontakt %1 Åström").arg(i, 4, 10, QChar(u'0')));
            contacts->FieldByName(QStringLiteral("EMail"))->SetAsString(QStringLiteral("kontakt%1@exempel.se").arg(i));
            contacts->FieldByName(QStringLiteral("Address"))->SetAsString(QStringLiteral("Svampstigen %1").arg(i));
            contacts->FieldByName(QStringLiteral("PostalAddress"))->SetAsString(QStringLiteral("123 45 Älvsjö"));
            contacts->FieldByName(QStringLiteral("TelephoneMobile"))->SetAsString(QStringLiteral("070-123 45 67"));
            contacts->Post();
        }
        contacts->SetAutoSave(true);

        window = std::make_unique<TformFRMain>();
        window->SetDataModule(dm.get());
        window->LoadScripts();
        window->SetScriptAnswer(QStringLiteral("showingallcontacts"), &frame, [] { return QVariant(true); });
        pdf = folder + QStringLiteral("Kontaktlista.pdf");
        UIServices::SetDialogHook([this](QDialog* dialog) {
            auto* print = qobject_cast<QPrintDialog*>(dialog);
            if (!print) return;
            print->printer()->setOutputFormat(QPrinter::PdfFormat);
            print->printer()->setOutputFileName(pdf);
            print->done(QDialog::Accepted);
        });
    }
    ~ContactListPrint() {
        UIServices::SetDialogHook({});
        window.reset();
        dm.reset();
        SetProgramFolder(QString());
    }

    QTemporaryDir dir;
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TformFRMain> window;
    QObject frame;  // stands in for the contact frame, which answers the script
    QString pdf;
};

using Clock = std::chrono::steady_clock;
std::map<std::string, std::vector<double>> g_samples;  // ms of each run, by case

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void BM_PrintContactList(benchmark::State& state) {
    ContactListPrint list(int(state.range(0)));
    if (list.window->ScriptCount() != 1) {
        state.SkipWithError("the contact list script is missing; build the program folder first");
        return;
    }
    auto& samples = g_samples["script/" + std::to_string(state.range(0))];
    for (auto _ : state) {
        const auto t0 = Clock::now();
        list.window->RunScript(0);
        benchmark::DoNotOptimize(QFile(list.pdf).size());
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    state.counters["pdf_kB"] = double(QFile(list.pdf).size()) / 1024.0;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The floor: the same contacts drawn by hand onto a QPdfWriter of the same resolution, in the
// script's layout: an A4 page with margins of 20 mm at the sides, 12 mm at the top and 10 at the
// bottom, a header of 10 mm (the list's title, the program's name, a line) and a foot of 14 mm
// (a line, the day of printing, the page number), the title in 18 points on the first page,
// and each contact in two rows of 10 points (name in bold and e-mail; address and telephones),
// a thin line and a little air, never split over two pages.
[[gnu::noinline]] int DrawListStraight(TExtClientDataSet* contacts, const QString& fileName) {
    QPdfWriter writer(fileName);
    writer.setResolution(600);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    writer.setTitle(QStringLiteral("Mykotekshallen - Kontaktlista"));
    QPainter painter(&writer);
    const double px = 600 / 25.4;  // device pixels per millimetre
    auto font = [](int points, bool bold) {
        QFont f(QStringLiteral("Liberation Sans"));
        f.setPointSizeF(points);
        f.setBold(bold);
        return f;
    };
    const QFont title = font(18, true), text = font(10, false), bold = font(10, true), small = font(8, false),
                air = font(5, false);
    const double textRow = QFontMetricsF(text, &writer).height(), airRow = QFontMetricsF(air, &writer).height(),
                 titleRow = QFontMetricsF(title, &writer).height(), smallRow = QFontMetricsF(small, &writer).height();
    const double left = 20 * px, width = (210 - 40) * px, top = (12 + 10) * px, bottom = (297 - 10 - 14) * px;
    const QPen rule(QColor(180, 180, 180), 0.1 * px), frame(QColor(180, 180, 180), 0.2 * px);
    const QColor grey(90, 90, 90), green(34, 85, 34);
    const QString heading = QStringLiteral("Kontaktlista – alla kontakter");
    const QString printed = QStringLiteral("Utskrivet ") +
        QLocale(QLocale::Swedish).toString(QDate::currentDate(), QStringLiteral("d MMMM yyyy"));

    // The pages first, as the script knows its page count before it draws.
    const double entry = 2 * textRow + airRow;
    const int count = contacts->RecordCount();
    std::vector<int> pageStarts{0};
    double y = top + titleRow + airRow;
    for (int i = 0; i < count; ++i) {
        if (y + entry > bottom) {
            pageStarts.push_back(i);
            y = top;
        }
        y += entry;
    }
    const int pages = int(pageStarts.size());
    const int userName = contacts->FieldByName(QStringLiteral("UserName"))->Index();
    const int email = contacts->FieldByName(QStringLiteral("EMail"))->Index();
    const int address = contacts->FieldByName(QStringLiteral("Address"))->Index();
    const int postal = contacts->FieldByName(QStringLiteral("PostalAddress"))->Index();
    const int mobile = contacts->FieldByName(QStringLiteral("TelephoneMobile"))->Index();
    for (int page = 0; page < pages; ++page) {
        if (page > 0) writer.newPage();
        // Header and foot.
        painter.setPen(grey);
        painter.setFont(small);
        painter.drawText(QPointF(left, 12 * px + smallRow * 0.8), heading);
        painter.drawText(QRectF(left, 12 * px, width, smallRow), Qt::AlignRight, QStringLiteral("Mykotekshallen"));
        painter.setPen(frame);
        painter.drawLine(QPointF(left, 16.5 * px), QPointF(left + width, 16.5 * px));
        painter.drawLine(QPointF(left, (bottom + 4 * px)), QPointF(left + width, bottom + 4 * px));
        painter.setPen(grey);
        painter.drawText(QPointF(left, bottom + 5.5 * px + smallRow * 0.8), printed);
        painter.drawText(QRectF(left, bottom + 5.5 * px, width, smallRow), Qt::AlignRight,
                         QStringLiteral("Sida %1 av %2").arg(page + 1).arg(pages));
        y = top;
        if (page == 0) {
            painter.setPen(green);
            painter.setFont(title);
            painter.drawText(QPointF(left, y + titleRow * 0.8), heading);
            y += titleRow + airRow;
        }
        const int end = page + 1 < pages ? pageStarts[size_t(page) + 1] : count;
        for (int i = pageStarts[size_t(page)]; i < end; ++i) {
            painter.setPen(Qt::black);
            painter.setFont(bold);
            painter.drawText(QPointF(left, y + textRow * 0.8), contacts->RecordValue(i, userName).toString());
            painter.setFont(text);
            painter.drawText(QPointF(left + 83 * px, y + textRow * 0.8), contacts->RecordValue(i, email).toString());
            y += textRow;
            painter.drawText(QPointF(left, y + textRow * 0.8),
                             contacts->RecordValue(i, address).toString() + QStringLiteral(", ") +
                                 contacts->RecordValue(i, postal).toString());
            painter.drawText(QPointF(left + 83 * px, y + textRow * 0.8),
                             QStringLiteral("mobil ") + contacts->RecordValue(i, mobile).toString());
            y += textRow;
            painter.setPen(rule);
            painter.drawLine(QPointF(left, y + 0.6 * px), QPointF(left + width, y + 0.6 * px));
            y += airRow;
        }
    }
    painter.end();
    return pages;
}

void BM_PdfWriterFloor(benchmark::State& state) {
    ContactListPrint list(int(state.range(0)));
    auto& samples = g_samples["floor/" + std::to_string(state.range(0))];
    int pages = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        pages = DrawListStraight(list.dm->cdsContacts, list.pdf);
        benchmark::DoNotOptimize(QFile(list.pdf).size());
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    state.counters["pages"] = pages;
    state.counters["pdf_kB"] = double(QFile(list.pdf).size()) / 1024.0;
}

BENCHMARK(BM_PrintContactList)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PdfWriterFloor)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchsupport::RatioReporter reporter;
    if (!benchsupport::Run(argc, argv, reporter)) return 1;
    const double small = Median(g_samples["script/10"]), large = Median(g_samples["script/100"]);
    const double floor = Median(g_samples["floor/100"]);
    if (small > 0 && large > 0) {
        std::printf(
            "\n100 pages of contacts prepared and printed to PDF in %.0f ms (median of %zu runs; goal under "
            "a second)\n",
            large, g_samples["script/100"].size());
        std::printf("per page: %.2f ms at 10 pages, %.2f ms at 100; ratio %.2f\n", small / 10, large / 100,
                    (large / 100) / (small / 10));
        if (floor > 0)
            std::printf(
                "the same list drawn straight onto a QPdfWriter: %.0f ms (median of %zu runs); "
                "script / floor %.2f (goal 2.5 at most)\n",
                floor, g_samples["floor/100"].size(), large / floor);
    }
    benchmark::Shutdown();
    return 0;
}
