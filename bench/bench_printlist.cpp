// Printing the program's contact list to a PDF file, as the print menu of the contact frame
// does it: the shipped script is prepared on the contacts table and every page is drawn into the
// PDF, which is written when the job ends. Lists of about 10 and 100 pages (25 contacts a page);
// prints the time of the 100 pages (the goal is under a second) and the time per page of both sizes, whose ratio stays
// near 1 when the work grows linearly with the pages.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

#include "core/ExtClientDataSet.h"
#include "core/ProgramFolders.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "core/unitMain.h"
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
        QFile::copy(QStringLiteral(MYKO_PROGRAM_DIR "/Data/Res/Districts.dat"), folder + QStringLiteral("Data/Res/Districts.dat"));
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
            contacts->FieldByName(QStringLiteral("UserName"))->SetAsString(QStringLiteral("Kontakt %1 Åström").arg(i, 4, 10, QChar(u'0')));
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

void BM_PrintContactList(benchmark::State& state) {
    ContactListPrint list(int(state.range(0)));
    if (list.window->ScriptCount() != 1) {
        state.SkipWithError("the contact list script is missing; build the program folder first");
        return;
    }
    for (auto _ : state) {
        list.window->RunScript(0);
        benchmark::DoNotOptimize(QFile(list.pdf).size());
    }
    state.counters["pdf_kB"] = double(QFile(list.pdf).size()) / 1024.0;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_PrintContactList)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchsupport::RatioReporter reporter;
    if (!benchsupport::Run(argc, argv, reporter)) return 1;
    const auto& t = reporter.times;
    if (t.count("BM_PrintContactList/10") && t.count("BM_PrintContactList/100")) {
        const double small = t.at("BM_PrintContactList/10") / 10, large = t.at("BM_PrintContactList/100") / 100;
        std::printf("\n100 pages of contacts prepared and printed to PDF in %.0f ms\n", t.at("BM_PrintContactList/100"));
        std::printf("per page: %.2f ms at 10 pages, %.2f ms at 100; ratio %.2f\n", small, large, large / small);
    }
    benchmark::Shutdown();
    return 0;
}
