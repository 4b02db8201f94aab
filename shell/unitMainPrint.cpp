#include "shell/unitMain.h"
// The main window's printing service: the page-layout scripts of the script folder, the print
// menu under a frame's print button, printing a script's pages and answering its questions.

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScopeGuard>
#include <algorithm>

#include "controls/FRGuard.h"
#include "core/ExtClientDataSet.h"
#include "core/ProgramFolders.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "platform/Exception.h"
#include "platform/UIServices.h"
#include "script/QSHandler.h"
#include "script/qt/QSQtDevices.h"

namespace {

// A parameter "Name=Value" of the script's settings; the name's letter case does not matter.
QString ScriptParam(const TQSScript& script, const QString& name) {
    for (const QString& line : script.Root()->GetScriptSettings()->ListValue(QStringLiteral("Params"))) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0 && line.left(eq).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1).trimmed();
    }
    return QString();
}

QString ScriptTitle(const TQSScript& script) {
    return script.Root()->GetScriptSettings()->Value(QStringLiteral("ScriptName"));
}

// A text as the scripts' text rows break it: each line break a CR LF.
QString ScriptLines(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    return text;
}

TQuillValue ScriptValue(const QVariant& value) {
    if (value.typeId() == QMetaType::Bool) return value.toBool();
    return ScriptLines(value.toString());
}

}  // namespace

int TformFRMain::ScriptCount() const { return m_scriptHandler ? m_scriptHandler->ScriptCount() : 0; }

void TformFRMain::LoadScripts() {
    // The old scripts go before the new ones bind to the tables.
    m_scriptHandler.reset();
    auto handler = std::make_unique<TQSHandler>();
    handler->SetMode(hmApplication);
    handler->Measurer = std::make_shared<TQSFontMetricsMeasurer>();
    handler->OnExternalFunction = [this](TQSHandler& sender, const QString& name, TQuillValue& result) {
        ScriptExternalFunction(sender, name, result);
    };
    if (m_dm)
        for (const TDM::TTableInfo& info : TDM::Catalogue())
            if (TDataSource* source = m_dm->*info.Source)
                handler->DataSources.Register(QStringLiteral("DM"), info.SourceName, source);

    QStringList failed;
    // Every script file: one that cannot be read is told, not passed over.
    const QFileInfoList files =
        QDir(GetScriptFolder()).entryInfoList({QStringLiteral("*.qsf")}, QDir::Files, QDir::Name);
    for (const QFileInfo& file : files) {
        try {
            TQSScript* script = handler->AddScript(file.filePath());
            script->ExecData().PrinterData.PrinterFactory = [](int index) {
                return std::make_unique<TQSPrinterTarget>(index);
            };
        } catch (const Exception& e) {
            failed.append(QStringLiteral("%1: %2").arg(file.fileName(), e.Message()));
        }
    }
    m_scriptHandler = std::move(handler);
    if (!failed.isEmpty())
        UIServices::ShowError(
            QStringLiteral("Följande utskriftsmallar kunde inte läsas in och kan inte användas:\n\n%1")
                .arg(failed.join(u'\n')));
}

void TformFRMain::ShowScriptMenu(QWidget* control, const QString& group) {
    popupPrint->clear();
    for (int i = 0; i < ScriptCount(); ++i) {
        const TQSScript& script = *m_scriptHandler->Script(i);
        if (ScriptParam(script, QStringLiteral("Group")).compare(group, Qt::CaseInsensitive) != 0) continue;
        QAction* item = popupPrint->addAction(ScriptTitle(script));
        item->setData(i);
        connect(item, &QAction::triggered, this, [this, i] { Guarded([&] { RunScript(i); }); });
    }
    if (popupPrint->isEmpty())
        popupPrint->hide();
    else if (control)
        popupPrint->popup(control->mapToGlobal(QPoint(0, control->height())));
}

void TformFRMain::SetScriptAnswer(const QString& name, QObject* frame, std::function<QVariant()> answer) {
    m_scriptAnswers.insert(name.toLower(), TScriptAnswer{frame, std::move(answer)});
}

void TformFRMain::ForgetScriptAnswers(QObject* frame) {
    m_scriptAnswers.removeIf([frame](const auto& entry) { return entry.value().Frame == frame; });
}

QVariant TformFRMain::ScriptAnswer(const QString& name) const {
    const auto it = m_scriptAnswers.constFind(name.toLower());
    if (it == m_scriptAnswers.constEnd() || !it->Frame || !it->Answer) return QVariant();
    return it->Answer();
}

void TformFRMain::SetScriptVariables(const QString& label, TQSScript& script) {
    auto preset = [&script](const char* name, const TQuillValue& value) {
        if (auto* variable = dynamic_cast<TQSVariable*>(script.FindVariable(QLatin1String(name))))
            variable->Preset = value;
    };
    // The picture file of a table's current record, or nothing where the record has none or its
    // file is gone: a sheet without its picture is better than none.
    auto pictureOf = [](TExtClientDataSet* table, QString (*fileOf)(const QString&), bool needsHasPic) {
        if (!table->Active() || table->IsEmpty()) return QString();
        if (needsHasPic && !table->FieldByName(QStringLiteral("HasPic"))->AsBoolean()) return QString();
        const QString file = fileOf(table->FieldByName(QStringLiteral("UKey"))->AsString());
        return QFileInfo(file).isFile() ? file : QString();
    };
    if (label.compare(QLatin1String("FungiFactSheet"), Qt::CaseInsensitive) == 0) {
        preset("mainpicfilename", m_dm ? pictureOf(m_dm->cdsFungi, &GetMainPicFile, false) : QString());
        const QVariant notes = ScriptAnswer(QStringLiteral("othernotes"));
        if (notes.isValid()) preset("othernotes", ScriptValue(notes));
    } else if (label.compare(QLatin1String("FungiPicOverview"), Qt::CaseInsensitive) == 0) {
        preset("picfolder", GetFungiPicFolder());
    } else if (label.compare(QLatin1String("FoodRecipe"), Qt::CaseInsensitive) == 0) {
        preset("foodpicfilename", m_dm ? pictureOf(m_dm->cdsFoods, &GetFoodPicFile, true) : QString());
    }
}

void TformFRMain::ScriptExternalFunction(TQSHandler& handler, const QString& name, TQuillValue& result) {
    const QString function = name.toLower();
    if (function == QLatin1String("contactorname")) {
        const QString ref = std::get<QString>(handler.Calc().GetParam(TQuillKind::String, qpOnly));
        TDMServices* services = m_dm ? TDMServices::Of(m_dm) : nullptr;
        result = services ? services->GetRefText(ref) : ref;
    } else if (function == QLatin1String("swedishorlatin")) {
        QString text;
        if (m_dm && m_dm->cdsFungi->Active() && !m_dm->cdsFungi->IsEmpty()) {
            text = m_dm->cdsFungi->FieldByName(QStringLiteral("SwedishName"))->AsString();
            if (text.isEmpty()) text = m_dm->cdsFungi->FieldByName(QStringLiteral("LatinName"))->AsString();
        }
        result = text;
    } else if (function == QLatin1String("foodpicfolder")) {
        result = GetFoodPicFolder();
    } else {
        const QVariant answer = ScriptAnswer(function);
        if (answer.isValid()) result = ScriptValue(answer);
    }
}

bool TformFRMain::ChoosePrintPages(int pageCount, int& from, int& to) {
    if (!m_printer) m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrinter& printer = *m_printer;
    printer.setCopyCount(1);
    printer.setPrintRange(QPrinter::AllPages);
    printer.setFromTo(1, pageCount);
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName(QStringLiteral("printdialogMain"));
    dialog.setWindowTitle(QStringLiteral("Skriv ut"));
    dialog.setMinMax(1, pageCount);
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange |
                      QAbstractPrintDialog::PrintShowPageSize);
    if (UIServices::ExecDialog(&dialog) != QDialog::Accepted) return false;
    from = 1;
    to = pageCount;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = std::clamp(printer.fromPage(), 1, pageCount);
        to = std::clamp(printer.toPage() > 0 ? printer.toPage() : pageCount, from, pageCount);
    }
    return true;
}

void TformFRMain::SetPrintTarget(TQSScript& script) {
    TQSPRNData& data = script.ExecData().PrinterData;
    const QPrinter& chosen = *m_printer;
    if (PrintTargetFactory) {
        data.SetTarget(PrintTargetFactory(chosen));
        data.SetupPrinter();
    } else if (chosen.outputFormat() == QPrinter::PdfFormat) {
        if (chosen.outputFileName().isEmpty()) throw Exception(QStringLiteral("Ingen fil att skriva till har valts."));
        data.SetTarget(std::make_unique<TQSPdfTarget>(chosen.outputFileName()));
        data.SetupPrinter();
    } else {
        data.SetPrinterIndex(QPrinterInfo::availablePrinterNames().indexOf(chosen.printerName()));
    }
    if (!data.Target() || data.DPIX <= 0 || data.DPIY <= 0)
        throw Exception(QStringLiteral("Skrivaren \"%1\" kan inte användas.").arg(chosen.printerName()));
}

void TformFRMain::RunScript(int scriptIndex) {
    if (!m_scriptHandler) return;
    try {
        m_scriptHandler->SetScriptIndex(scriptIndex);
        TQSScript& script = *m_scriptHandler->GetCurrentScript();
        TQSExecData& exec = script.ExecData();
        bool printing = false;
        // However the run ends: a job begun is dropped, and the reset gives the tables their
        // records back, balances what the script disabled and forgets the run's values.
        const auto reset = qScopeGuard([&] {
            if (printing) Guarded([&] { exec.PrinterData.Abort(); });
            Guarded([&] { script.Reset(); });
        });
        SetScriptVariables(ScriptParam(script, QStringLiteral("Label")), script);
        if (!exec.Compiled()) exec.Compile();
        exec.GotoPage(TQSExecState::Print, 1);
        int from = 1, to = exec.PageCount();
        if (!ChoosePrintPages(exec.PageCount(), from, to)) return;
        SetPrintTarget(script);
        exec.PrinterData.BeginDoc(QStringLiteral("Mykotekshallen - %1").arg(ScriptTitle(script)));
        printing = true;
        for (int page = from; page <= to; ++page) {
            exec.GotoPage(TQSExecState::Print, page);
            exec.ExecutePage(TQSExecState::Print, TQSRunKind::Breakpoints);
            if (page < to) exec.PrinterData.NewPage();
        }
        exec.GotoPage(TQSExecState::Print, 1);
        printing = false;
        exec.PrinterData.EndDoc();
    } catch (const Exception& e) {
        throw Exception(QStringLiteral("Fel vid utskrift. Meddelande: \"%1\"").arg(e.Message()));
    }
}
