#include "ui/ProgramStepModel.h"

#include "pump/KeyTable.h"
#include "ui/ShownNumber.h"
#include "ui/ShownProgramText.h"

#include <QBrush>
#include <QColor>
#include <QCoreApplication>
#include <QFont>

#include <utility>

namespace {

using Kind = ProgramStep::Kind;

// Up to a millionth without trailing zeros: 0.5, 30, 0.125.
QString number(double value)
{
    return ShownNumber::localized(QString::number(value, 'g', 10));
}

// Indents a repeat's steps under it by one step of this per level.
const QString indentStep = QStringLiteral("      ");

} // namespace

ProgramStepModel::ProgramStepModel(QObject *parent)
    : QAbstractTableModel(parent)
{}

QString ProgramStepModel::limitKeyName(ProgramStep::Kind kind, int column)
{
    switch (column) {
    case Volume:
        return kind == Kind::Dose ? QStringLiteral("volume") : QString();
    case Rate:
    case ToRate:
        return hasField(kind, column) ? QStringLiteral("flow-rate") : QString();
    case Time:
        // A run or a ramp goes out as the pump's dispense time, and a prime keeps its limit; a wait
        // never reaches the pump.
        return kind == Kind::Run || kind == Kind::Ramp || kind == Kind::Prime
                   ? QStringLiteral("dispense-time")
                   : QString();
    default:
        return QString();
    }
}

bool ProgramStepModel::hasField(ProgramStep::Kind kind, int column)
{
    switch (column) {
    case Step:
        return true;
    case Volume:
        return kind == Kind::Dose;
    case Rate:
        return kind == Kind::Dose || kind == Kind::Run || kind == Kind::Ramp;
    case ToRate:
        return kind == Kind::Ramp;
    case Time:
        return kind == Kind::Run || kind == Kind::Ramp || kind == Kind::Wait || kind == Kind::Prime;
    case Count:
        return kind == Kind::Ramp || kind == Kind::Repeat;
    case Text:
        return kind == Kind::Prompt;
    default:
        return false;
    }
}

ProgramStep ProgramStepModel::newStep(ProgramStep::Kind kind)
{
    ProgramStep step;
    step.kind = kind;
    switch (kind) {
    case Kind::Dose:
        step.volumeMl = 1;
        step.rateMlMin = 10;
        break;
    case Kind::Run:
        step.rateMlMin = 10;
        step.forS = 10;
        break;
    case Kind::Ramp:
        step.fromMlMin = 5;
        step.toMlMin = 20;
        step.forS = 60;
        step.rampSteps = 4;
        break;
    case Kind::Wait:
        step.forS = 5;
        break;
    case Kind::Prompt:
        step.text = QCoreApplication::translate("mainScreen", "Continue when ready");
        break;
    case Kind::Prime:
        step.forS = 10;
        break;
    case Kind::Repeat:
        // A repeat without steps is an error: it starts with one to edit.
        step.count = 2;
        step.steps.push_back(newStep(Kind::Wait));
        break;
    case Kind::Parallel: // several pumps: not the window's, which drives one
    case Kind::Gradient:
        break;
    }
    return step;
}

void ProgramStepModel::setProgram(const DosingProgram &program)
{
    beginResetModel();
    prog = program;
    currentPath.clear();
    rebuild();
    endResetModel();
    emit edited();
}

void ProgramStepModel::setName(const QString &name)
{
    if (prog.name == name)
        return;
    prog.name = name;
    emit edited();
}

void ProgramStepModel::rebuild()
{
    rows.clear();
    std::vector<int> at;
    collect(prog.steps, at, QString(), QString());
}

void ProgramStepModel::collect(const std::vector<ProgramStep> &steps, std::vector<int> &at,
                               const QString &path, const QString &number)
{
    for (std::size_t i = 0; i < steps.size(); ++i) {
        at.push_back(static_cast<int>(i));
        const QString stepPath = QStringLiteral("%1steps[%2]").arg(path).arg(i);
        const QString stepNumber = number + QString::number(i + 1);
        rows.push_back({at, stepPath, stepNumber});
        if (steps[i].kind == Kind::Repeat)
            collect(steps[i].steps, at, stepPath + QStringLiteral(".repeat."),
                    stepNumber + QLatin1Char('.'));
        at.pop_back();
    }
}

std::vector<ProgramStep> &ProgramStepModel::listOf(const std::vector<int> &at)
{
    std::vector<ProgramStep> *list = &prog.steps;
    for (std::size_t level = 0; level + 1 < at.size(); ++level)
        list = &(*list)[static_cast<std::size_t>(at[level])].steps;
    return *list;
}

ProgramStep &ProgramStepModel::stepAt(int row)
{
    const std::vector<int> &at = rows[static_cast<std::size_t>(row)].at;
    return listOf(at)[static_cast<std::size_t>(at.back())];
}

const ProgramStep &ProgramStepModel::stepAt(int row) const
{
    return const_cast<ProgramStepModel *>(this)->stepAt(row);
}

int ProgramStepModel::rowOf(const std::vector<int> &at) const
{
    for (std::size_t row = 0; row < rows.size(); ++row) {
        if (rows[row].at == at)
            return static_cast<int>(row);
    }
    return -1;
}

int ProgramStepModel::rowOf(const QString &path) const
{
    for (std::size_t row = 0; row < rows.size(); ++row) {
        if (rows[row].path == path)
            return static_cast<int>(row);
    }
    return -1;
}

void ProgramStepModel::changed()
{
    beginResetModel();
    rebuild();
    endResetModel();
    emit edited();
}

int ProgramStepModel::insertStep(ProgramStep::Kind kind, int afterRow)
{
    std::vector<int> at;
    if (afterRow < 0 || afterRow >= rowCount()) {
        at = {static_cast<int>(prog.steps.size())};
    } else {
        at = rows[static_cast<std::size_t>(afterRow)].at;
        ++at.back();
    }
    std::vector<ProgramStep> &list = listOf(at);
    list.insert(list.begin() + at.back(), newStep(kind));
    changed();
    return rowOf(at);
}

bool ProgramStepModel::removeStep(int row)
{
    if (row < 0 || row >= rowCount())
        return false;
    const std::vector<int> at = rows[static_cast<std::size_t>(row)].at;
    std::vector<ProgramStep> &list = listOf(at);
    list.erase(list.begin() + at.back());
    changed();
    return true;
}

int ProgramStepModel::moveUp(int row)
{
    if (row < 0 || row >= rowCount())
        return -1;
    std::vector<int> at = rows[static_cast<std::size_t>(row)].at;
    std::vector<ProgramStep> &list = listOf(at);
    const auto i = static_cast<std::size_t>(at.back());
    ProgramStep step = std::move(list[i]);
    list.erase(list.begin() + at.back());
    if (i > 0 && list[i - 1].kind == Kind::Repeat) {
        // Into the repeat above, as its last step.
        list[i - 1].steps.push_back(std::move(step));
        at.back() = static_cast<int>(i) - 1;
        at.push_back(static_cast<int>(list[i - 1].steps.size()) - 1);
    } else if (i > 0) {
        list.insert(list.begin() + at.back() - 1, std::move(step));
        --at.back();
    } else if (at.size() > 1) {
        // Out of its repeat, in front of it.
        at.pop_back();
        std::vector<ProgramStep> &outer = listOf(at);
        outer.insert(outer.begin() + at.back(), std::move(step));
    } else {
        list.insert(list.begin(), std::move(step));
        return -1;
    }
    changed();
    return rowOf(at);
}

int ProgramStepModel::moveDown(int row)
{
    if (row < 0 || row >= rowCount())
        return -1;
    std::vector<int> at = rows[static_cast<std::size_t>(row)].at;
    std::vector<ProgramStep> &list = listOf(at);
    const auto i = static_cast<std::size_t>(at.back());
    if (i + 1 < list.size() && list[i + 1].kind == Kind::Repeat) {
        // Into the repeat below, as its first step.
        ProgramStep step = std::move(list[i]);
        list.erase(list.begin() + at.back());
        std::vector<ProgramStep> &inner = list[i].steps;
        inner.insert(inner.begin(), std::move(step));
        at.push_back(0);
    } else if (i + 1 < list.size()) {
        std::swap(list[i], list[i + 1]);
        ++at.back();
    } else if (at.size() > 1) {
        // Out of its repeat, right after it.
        ProgramStep step = std::move(list[i]);
        list.erase(list.begin() + at.back());
        at.pop_back();
        ++at.back();
        std::vector<ProgramStep> &outer = listOf(at);
        outer.insert(outer.begin() + at.back(), std::move(step));
    } else {
        return -1;
    }
    changed();
    return rowOf(at);
}

void ProgramStepModel::setCurrentPath(const QString &path)
{
    if (path == currentPath)
        return;
    const int before = rowOf(currentPath);
    currentPath = path;
    const int now = rowOf(currentPath);
    for (int row : {before, now}) {
        if (row >= 0)
            emit dataChanged(index(row, 0), index(row, ColumnCount - 1),
                             {Qt::BackgroundRole, Qt::FontRole});
    }
}

namespace {

// The column of a field in the file, by its name.
int columnOfField(ProgramStep::Kind kind, const QString &field)
{
    using Column = ProgramStepModel::Column;
    static const std::map<QString, int> columns = {{QStringLiteral("volume_ml"), Column::Volume},
                                                   {QStringLiteral("rate_ml_min"), Column::Rate},
                                                   {QStringLiteral("from_ml_min"), Column::Rate},
                                                   {QStringLiteral("to_ml_min"), Column::ToRate},
                                                   {QStringLiteral("for_s"), Column::Time},
                                                   {QStringLiteral("count"), Column::Count},
                                                   {QStringLiteral("text"), Column::Text}};
    // A ramp's steps are its count; a repeat's are rows of their own.
    if (field == QLatin1String("steps"))
        return kind == Kind::Ramp ? Column::Count : Column::Step;
    const auto it = columns.find(field);
    return it == columns.end() ? Column::Step : it->second;
}

} // namespace

std::pair<int, int> ProgramStepModel::cellOf(const QString &error) const
{
    const QString path = error.section(QLatin1String(": "), 0, 0);
    // The innermost step whose path the error's starts with.
    int best = -1;
    for (int row = 0; row < rowCount(); ++row) {
        const QString &own = rows[static_cast<std::size_t>(row)].path;
        if (path.startsWith(own) && (path.size() == own.size() || path.at(own.size()) == '.') &&
            (best < 0 || own.size() > rows[static_cast<std::size_t>(best)].path.size()))
            best = row;
    }
    if (best < 0)
        return {-1, Step};
    // "steps[0].dose.volume_ml": the kind, then the field.
    const QString rest = path.mid(rows[static_cast<std::size_t>(best)].path.size() + 1);
    return {best, columnOfField(stepAt(best).kind, rest.section(QLatin1Char('.'), 1, 1))};
}

QString ProgramStepModel::numberOf(int row) const
{
    return row >= 0 && row < rowCount() ? rows[static_cast<std::size_t>(row)].number : QString();
}

void ProgramStepModel::setErrors(const QStringList &errors)
{
    if (errors == errorList)
        return;
    errorList = errors;
    marks.clear();
    for (const QString &error : errors) {
        const std::pair<int, int> cell = cellOf(error);
        if (cell.first >= 0)
            marks[{rows[static_cast<std::size_t>(cell.first)].path, cell.second}] << error;
    }
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1),
                         {Qt::BackgroundRole, Qt::ToolTipRole});
}

void ProgramStepModel::setNotes(const QStringList &notes)
{
    if (notes == noteList)
        return;
    noteList = notes;
    noteMarks.clear();
    for (const QString &note : notes) {
        const int row = cellOf(note).first;
        if (row >= 0)
            noteMarks[rows[static_cast<std::size_t>(row)].path] << note;
    }
    if (rowCount() > 0)
        emit dataChanged(index(0, Step), index(rowCount() - 1, Step),
                         {Qt::BackgroundRole, Qt::ToolTipRole, Qt::DecorationRole});
}

bool ProgramStepModel::noted(int row) const
{
    return row >= 0 && row < rowCount() &&
           noteMarks.count(rows[static_cast<std::size_t>(row)].path) > 0;
}

void ProgramStepModel::setEditable(bool on)
{
    if (editable == on)
        return;
    beginResetModel();
    editable = on;
    endResetModel();
}

int ProgramStepModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows.size());
}

int ProgramStepModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ProgramStepModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const Row &row = rows[static_cast<std::size_t>(index.row())];
    const ProgramStep &step = stepAt(index.row());
    const int column = index.column();
    const auto mark = marks.find({row.path, column});
    const bool marked = mark != marks.end();
    // A note is no error: it marks the step's own cell, in its own colour.
    const auto note = column == Step ? noteMarks.find(row.path) : noteMarks.end();
    const bool notedHere = note != noteMarks.end();
    switch (role) {
    case KindRole:
        return static_cast<int>(step.kind);
    case PathRole:
        return row.path;
    case DepthRole:
        return static_cast<int>(row.at.size()) - 1;
    case Qt::BackgroundRole:
        if (!currentPath.isEmpty() && row.path == currentPath)
            return QBrush(QColor(190, 225, 250));
        if (marked)
            return QBrush(QColor(255, 190, 190));
        if (notedHere)
            return QBrush(QColor(255, 240, 180));
        // A field the step has not is greyed, so that an empty cell to fill stands out.
        if (!hasField(step.kind, column))
            return QBrush(QColor(235, 235, 235));
        return QVariant();
    case Qt::FontRole:
        if (!currentPath.isEmpty() && row.path == currentPath) {
            QFont bold(QStringLiteral("Arial"), 10);
            bold.setBold(true);
            return bold;
        }
        return QVariant();
    case Qt::ToolTipRole:
        if (marked || notedHere) {
            QStringList lines;
            if (marked)
                for (const QString &e : mark->second)
                    lines << ShownProgramText::checked(e);
            if (notedHere)
                for (const QString &n : note->second)
                    lines << tr("Note: %1").arg(ShownProgramText::checked(n));
            return lines.join(QLatin1Char('\n'));
        }
        // The prompt's text may be cut off in its cell.
        if (column == Text && step.kind == Kind::Prompt)
            return step.text;
        return row.path;
    case Qt::DisplayRole:
    case Qt::EditRole:
        break;
    default:
        return QVariant();
    }
    if (!hasField(step.kind, column))
        return QVariant();
    const bool edit = role == Qt::EditRole;
    switch (column) {
    case Step:
        if (edit)
            return static_cast<int>(step.kind);
        return indentStep.repeated(static_cast<int>(row.at.size()) - 1) + row.number +
               QLatin1Char(' ') + ProgramStep::kindName(step.kind);
    case Volume:
        return edit ? QVariant(step.volumeMl) : QVariant(number(step.volumeMl));
    case Rate: {
        const double rate = step.kind == Kind::Ramp ? step.fromMlMin : step.rateMlMin;
        return edit ? QVariant(rate) : QVariant(number(rate));
    }
    case ToRate:
        return edit ? QVariant(step.toMlMin) : QVariant(number(step.toMlMin));
    case Time:
        return edit ? QVariant(step.forS) : QVariant(number(step.forS));
    case Count: {
        const int count = step.kind == Kind::Ramp ? step.rampSteps : step.count;
        if (edit)
            return count;
        return step.kind == Kind::Repeat
                   ? QCoreApplication::translate("mainScreen", "%1 times").arg(count)
                   : QCoreApplication::translate("mainScreen", "%1 steps").arg(count);
    }
    case Text:
        return step.text;
    default:
        return QVariant();
    }
}

bool ProgramStepModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= rowCount() || !editable)
        return false;
    ProgramStep &step = stepAt(index.row());
    if (!hasField(step.kind, index.column()) || index.column() == Step)
        return false;
    switch (index.column()) {
    case Volume:
        step.volumeMl = value.toDouble();
        break;
    case Rate:
        (step.kind == Kind::Ramp ? step.fromMlMin : step.rateMlMin) = value.toDouble();
        break;
    case ToRate:
        step.toMlMin = value.toDouble();
        break;
    case Time:
        step.forS = value.toDouble();
        break;
    case Count:
        (step.kind == Kind::Ramp ? step.rampSteps : step.count) = value.toInt();
        break;
    case Text:
        step.text = value.toString();
        break;
    default:
        return false;
    }
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    emit edited();
    return true;
}

Qt::ItemFlags ProgramStepModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    const ProgramStep &step = stepAt(index.row());
    if (editable && index.column() != Step && hasField(step.kind, index.column()))
        flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant ProgramStepModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Step:
        return QCoreApplication::translate("mainScreen", "Step");
    case Volume:
        return QCoreApplication::translate("mainScreen", "Volume (%1)")
            .arg(Pump::KeyTable::key(QStringLiteral("volume")).unit);
    case Rate:
        return QCoreApplication::translate("mainScreen", "Rate (%1)")
            .arg(Pump::KeyTable::key(QStringLiteral("flow-rate")).unit);
    case ToRate:
        return QCoreApplication::translate("mainScreen", "To (%1)")
            .arg(Pump::KeyTable::key(QStringLiteral("flow-rate")).unit);
    case Time:
        return QCoreApplication::translate("mainScreen", "Time (s)");
    case Count:
        return QCoreApplication::translate("mainScreen", "Steps / times");
    case Text:
        return QCoreApplication::translate("mainScreen", "Prompt");
    default:
        return QVariant();
    }
}
