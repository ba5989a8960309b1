#pragma once

#include <QString>

class QLabel;

// The small marks to the right of the compact screen's command feedback (REC, NET, REMOTE): the
// first one puts the feedback label into a row of its own, the later ones join that row. Also
// the lines added above the feedback (the pump's state, its errors).
class FeedbackMarks
{
public:
    // A new hidden mark in the feedback label's frame, placed after the marks already there;
    // null when the label has no frame.
    static QLabel *add(QLabel *feedbackLabel, const QString &text, const char *objectName);
    // A new empty label on a line of its own right above that label, in its frame; null when
    // the label has no frame.
    static QLabel *addLineAbove(QLabel *label, const char *objectName);
};
