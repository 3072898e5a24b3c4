// Action lists of both families as the measurement lists build them, for binding tests.
#pragma once

#include "config/Settings.h"
#include "values/ActionList.h"

namespace velmoro::test {

inline ActionList MakeActionList(int family)
{
    struct Row {
        const char* key;
        int kind;
        int group;
    };
    static const Row miug4[] = {
        {"View_42", 3, 1}, {"View_43", 3, 1}, {"View_44", 3, 1}, {"View_45", 3, 1},
        {"View_46", 3, 1}, {"View_47", 3, 1}, {"View_64", 3, 1}, {"View_65", 3, 1},
        {"View_66", 3, 1}, {"View_67", 3, 1}, {"View_60", 4, 1}, {"View_49", 4, 1},
        {"View_68", 4, 1}, {"View_69", 4, 1}, {"View_61", 3, 0},
    };
    static const Row mp11[] = {
        {"View_42", 3, 1}, {"View_43", 3, 1}, {"View_43", 3, 1}, {"View_44", 3, 1},
        {"View_44", 3, 1}, {"View_45", 3, 1}, {"View_46", 3, 1}, {"View_47", 3, 1},
        {"View_59", 5, 1}, {"View_60", 5, 1}, {"View_49", 4, 1}, {"View_68", 4, 1},
        {"View_69", 4, 1},
    };
    ActionList list;
    const Row* rows = family == Family11mp ? mp11 : miug4;
    const int count = family == Family11mp ? 13 : 15;
    for (int i = 0; i < count; ++i) {
        ActionEntry entry;
        entry.position = i;
        entry.key = QString::fromLatin1(rows[i].key);
        entry.text = entry.key;
        entry.kind = rows[i].kind;
        entry.group = rows[i].group;
        list.append(entry);
    }
    return list;
}

} // namespace velmoro::test
