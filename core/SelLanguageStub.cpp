// Temporary stand-in for the selection language until its evaluator is in place: an empty
// selection matches every record, any other raises.
#include "core/SelLanguage.h"

struct TSelExpression::Impl {
    QString text;
};

TSelExpression::TSelExpression(const QStringList& lines) : d(std::make_unique<Impl>()) {
    for (const QString& line : lines) d->text += line + QStringLiteral("\r\n");
}

TSelExpression::~TSelExpression() = default;

bool TSelExpression::IsEmpty() const { return d->text.isEmpty(); }

bool TSelExpression::Match(const TSelRecord&) const {
    if (d->text.isEmpty()) return true;
    throw Exception(QStringLiteral("Selection language not available"));
}
