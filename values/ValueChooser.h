// The content of one value chooser: entries with their dispatcher index and the selection.
// The GUI mirrors it into a drop-down list.
#pragma once

#include <QString>
#include <QVector>

namespace velmoro {

struct ChooserEntry {
    QString text;
    int itemData = 0; // ValueDispatcher index
};

struct ValueChooser {
    QVector<ChooserEntry> entries;
    int selected = -1;
    QString SelectedText() const
    {
        return selected >= 0 && selected < entries.size() ? entries[selected].text : QString();
    }
};

} // namespace velmoro
