#pragma once

#include "program/DosingProgram.h"
#include "program/ProgramStep.h"

#include <QAbstractTableModel>

#include <map>
#include <utility>
#include <vector>

// The Program tab's table: every step of the program one row, a repeat's steps right below it
// and indented, each field of the file in its own column (a field the step's kind has not is
// empty and cannot be edited). Moving a step past the edge of its repeat takes it out of the
// repeat; moving it onto a repeat takes it in.
class ProgramStepModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Step, Volume, Rate, ToRate, Time, Count, Text, ColumnCount };
    enum Role { KindRole = Qt::UserRole + 1, PathRole, DepthRole };

    explicit ProgramStepModel(QObject *parent = nullptr);

    // The name of the key whose limits a field takes ("flow-rate"); empty when no key limits it
    // and the file's own rules judge it.
    static QString limitKeyName(ProgramStep::Kind kind, int column);
    // Whether the kind has that field.
    static bool hasField(ProgramStep::Kind kind, int column);
    // A new step of the kind with values within the limits; a repeat holds one wait.
    static ProgramStep newStep(ProgramStep::Kind kind);

    const DosingProgram &program() const { return prog; }
    void setProgram(const DosingProgram &program);
    void setName(const QString &name);

    // Row operations; each returns the row the step is on afterwards, or -1 when nothing changed.
    int insertStep(ProgramStep::Kind kind, int afterRow);
    bool removeStep(int row);
    int moveUp(int row);
    int moveDown(int row);

    // The row of a step path in the file ("steps[2].repeat.steps[0]"); -1 when none has it.
    int rowOf(const QString &path) const;
    // The running step's row is marked.
    void setCurrentPath(const QString &path);
    // The program file's errors ("steps[1].wait.for_s: 0.5 is below 1 s"): each marks the cell
    // of the field its path names, its message the cell's tooltip; an error of a whole step
    // marks the step's own cell.
    void setErrors(const QStringList &errors);
    // Notes that are no errors ("steps[0].dose: ... goes at full flow"): each marks its step's
    // own cell in a colour of its own, the note in the cell's tooltip.
    void setNotes(const QStringList &notes);
    bool noted(int row) const;
    // Where an error's path points: its row and column; row -1 for none (the name, the size).
    std::pair<int, int> cellOf(const QString &error) const;
    // The row's number as the table shows it: "3.1".
    QString numberOf(int row) const;
    // While a program runs nothing can be edited.
    void setEditable(bool editable);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    // The program changed: replaced, edited, a step added, removed or moved, or a new name.
    void edited();

private:
    struct Row
    {
        std::vector<int> at; // the index at each level, outermost first
        QString path;
        QString number; // "3.1"
    };

    void rebuild();
    void collect(const std::vector<ProgramStep> &steps, std::vector<int> &at, const QString &path,
                 const QString &number);
    std::vector<ProgramStep> &listOf(const std::vector<int> &at);
    ProgramStep &stepAt(int row);
    const ProgramStep &stepAt(int row) const;
    int rowOf(const std::vector<int> &at) const;
    // Applies a change to the tree and shows it.
    void changed();

    DosingProgram prog;
    std::vector<Row> rows;
    QStringList errorList;
    // By row path and column: the messages that mark the cell.
    std::map<std::pair<QString, int>, QStringList> marks;
    QStringList noteList;
    std::map<QString, QStringList> noteMarks; // by row path
    QString currentPath;
    bool editable = true;
};
