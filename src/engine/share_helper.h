#pragma once

#include <QThread>

#include <atomic>
#include <memory>
#include <vector>

class ShareBoard;
class WalkShare;

// A free place of a run's limit that helps the archives still being walked: it takes the shallowest folder
// any of them offers, walks it (its figures flow into that archive's walk), and so on while there are
// folders to take. With none, it waits a moment for new ones and then ends, so that its place is free.
// It counts as one walk on the board for its whole life.
class ShareHelper : public QThread {
    Q_OBJECT
public:
    ShareHelper(std::vector<std::shared_ptr<WalkShare>> shares, std::shared_ptr<ShareBoard> board,
                QObject* parent = nullptr);
    // Stops taking folders and waits for the thread; a folder being walked ends with its archive's stop.
    ~ShareHelper() override;

    // Takes no further folder; safe from any thread. The folder being walked is finished (or ends at once
    // when its archive is stopped), as its archive's figures need it.
    void Stop();
    // Folders walked so far.
    int walked() const { return m_walked.load(); }

protected:
    void run() override;

private:
    const std::vector<std::shared_ptr<WalkShare>> m_shares;
    const std::shared_ptr<ShareBoard> m_board;
    std::atomic<int> m_walked {0};
};
