// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File dialogs answered by the test: each Execute takes the next answer, a
// path to confirm or nullopt to cancel, and remembers what it proposed.

#include <deque>
#include <optional>
#include <vector>

#include "FileDialogs.h"

namespace rvz::test {

class ScriptedFileDialogs final : public TFileDialogRunner {
public:
    std::deque<std::optional<QString>> answers;
    std::vector<TFileDialog> proposed;

    bool Execute(TFileDialog& dialog, QWidget*) override
    {
        proposed.push_back(dialog);
        if (answers.empty() || !answers.front()) {
            if (!answers.empty())
                answers.pop_front();
            return false;
        }
        dialog.fileName = *answers.front();
        answers.pop_front();
        return true;
    }
};

}  // namespace rvz::test
