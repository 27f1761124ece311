#include "engine/share_helper.h"

#include "engine/archive_walk.h"
#include "engine/share_board.h"
#include "platform/dir_reader.h"

namespace {

// How long a helper without work waits for new folders before it gives its place back. Walks offer
// folders as they list them, so on a slow share the next come within a few metadata calls.
constexpr std::chrono::milliseconds kLinger {20};

}  // namespace

ShareHelper::ShareHelper(std::vector<std::shared_ptr<WalkShare>> shares, std::shared_ptr<ShareBoard> board,
                         QObject* parent)
    : QThread(parent), m_shares(std::move(shares)), m_board(std::move(board))
{
}

ShareHelper::~ShareHelper()
{
    Stop();
    wait();
}

void ShareHelper::Stop()
{
    requestInterruption();
    if (m_board)
        m_board->wakeAll();
}

void ShareHelper::run()
{
    if (m_board)
        m_board->walkBegins();
    platform::DirReader::ownWorkingFolder();
    bool waited = false;
    while (!isInterruptionRequested()) {
        WalkShare* best = nullptr;
        int bestDepth = -1;
        for (const auto& share : m_shares) {
            const int depth = share->shallowestWork();
            if (depth >= 0 && (bestDepth < 0 || depth < bestDepth)) {
                best = share.get();
                bestDepth = depth;
            }
        }
        if (best) {
            if (best->helpOnce()) {
                ++m_walked;
                waited = false;
            }
            continue;
        }
        // Once: offers of archives this helper was not given would wake it for nothing.
        if (waited || !m_board || !m_board->waitForOffer(kLinger))
            break;
        waited = true;
    }
    if (m_board)
        m_board->walkEnds();
}
