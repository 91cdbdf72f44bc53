#include "support/LayoutCheck.h"

#include "platform/DialogBuilder.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionGroupBox>

namespace brivox::test {

namespace {

// Lines are drawn this wide, or a little inside their rectangle.
constexpr int kLineWidth = 2;

std::string Name(const QWidget* control) {
    const int id = ControlId(control);
    return id >= 0 ? std::to_string(id) : control->metaObject()->className();
}

// A frame's drawn rectangle and title, in its parent's coordinates.
struct CFrameLines {
    QRect frame;
    QRect title;
};

CFrameLines LinesOf(const QGroupBox& group) {
    QStyleOptionGroupBox option;
    option.initFrom(&group);
    option.text = group.title();
    option.lineWidth = 1;
    option.textAlignment = group.alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    auto rect = [&](QStyle::SubControl part) {
        return group.style()
            ->subControlRect(QStyle::CC_GroupBox, &option, part, &group)
            .translated(group.pos());
    };
    // A titled frame's top line runs just above its contents, below or through the title.
    QRect frame = rect(QStyle::SC_GroupBoxFrame);
    frame.setTop(rect(QStyle::SC_GroupBoxContents).top() - kLineWidth);
    return {frame, group.title().isEmpty() ? QRect() : rect(QStyle::SC_GroupBoxLabel)};
}

bool MeetsLines(const QRect& control, const CFrameLines& lines) {
    const QRect inner = lines.frame.adjusted(kLineWidth, kLineWidth, -kLineWidth, -kLineWidth);
    const bool inside = inner.contains(control);
    const bool outside = !lines.frame.intersects(control);
    return !(inside || outside) || control.intersects(lines.title);
}

// A line shows when no more than a pixel or two of it falls below the label.
int VisibleLines(const QLabel& label) {
    return static_cast<int>((label.height() + kLineWidth) /
                            QFontMetricsF(label.font()).lineSpacing());
}

int WrappedLines(const QLabel& label) {
    const QRect wrapped = label.fontMetrics().boundingRect(QRect(0, 0, label.width(), 1 << 20),
                                                           Qt::TextWordWrap, label.text());
    return qRound(wrapped.height() / QFontMetricsF(label.font()).lineSpacing());
}

std::string TextProblem(const QWidget* control) {
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        if (label->text().isEmpty() || !label->pixmap().isNull())
            return "";
        if (label->wordWrap())
            return WrappedLines(*label) > VisibleLines(*label)
                       ? " cuts its lines '" + label->text().toStdString() + "'"
                       : "";
        return control->fontMetrics().horizontalAdvance(label->text()) > label->width()
                   ? " cuts its text '" + label->text().toStdString() + "'"
                   : "";
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        const QString text = button->text().section('\n', 0, 0);
        const int room = control->width() - (qobject_cast<const QCheckBox*>(control) ? 18 : 0);
        if (!text.isEmpty() && control->fontMetrics().horizontalAdvance(text) > room)
            return " cuts its text '" + text.toStdString() + "'";
    }
    return "";
}

} // namespace

std::vector<std::string> LayoutProblems(const QWidget& dialog) {
    std::vector<std::string> problems;
    std::vector<QWidget*> shown;
    for (QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisibleTo(&dialog))
            shown.push_back(child);
    }
    for (size_t i = 0; i < shown.size(); ++i) {
        for (size_t j = i + 1; j < shown.size(); ++j) {
            const auto* aFrame = qobject_cast<const QGroupBox*>(shown[i]);
            const auto* bFrame = qobject_cast<const QGroupBox*>(shown[j]);
            const QRect a = shown[i]->geometry();
            const QRect b = shown[j]->geometry();
            if (aFrame != nullptr && bFrame == nullptr) {
                if (MeetsLines(b, LinesOf(*aFrame)))
                    problems.push_back(Name(shown[j]) + " meets the frame " + Name(shown[i]));
            } else if (bFrame != nullptr && aFrame == nullptr) {
                if (MeetsLines(a, LinesOf(*bFrame)))
                    problems.push_back(Name(shown[i]) + " meets the frame " + Name(shown[j]));
            } else if (a.intersects(b)) {
                problems.push_back(Name(shown[i]) + " overlaps " + Name(shown[j]));
            }
        }
    }
    for (const QWidget* control : shown) {
        if (const std::string problem = TextProblem(control); !problem.empty())
            problems.push_back(Name(control) + problem);
    }
    return problems;
}

} // namespace brivox::test
