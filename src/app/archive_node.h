#pragma once

#include "engine/tob_data.h"

#include <memory>
#include <vector>

// One row of the archive table. The node owns a shared reference to its record, so a scanner that still
// holds the record after the row was removed never writes into freed memory.
struct ArchiveNode {
    std::shared_ptr<TTobData> data = std::make_shared<TTobData>();
    ArchiveNode* parent = nullptr;  // null for the invisible root
    std::vector<std::unique_ptr<ArchiveNode>> children;
    int position = 0;               // index among the parent's children
    int level = -1;                 // 0 user row, 1.. sub-archive row, -1 the root
    bool changed = false;           // figures published since the last repaint

    ArchiveNode* child(int i) const { return children[std::size_t(i)].get(); }
    int childCount() const { return int(children.size()); }
    void renumber()
    {
        for (std::size_t i = 0; i < children.size(); ++i)
            children[i]->position = int(i);
    }
};
