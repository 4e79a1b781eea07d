// The readers of NZBGet's and SABnzbd's queue and history answers (chosen by the first byte) on
// any bytes: every job they report has an id, a percent from 0 to 100, and a reason of one short
// line without control characters.
#include "fuzzinput.h"
#include "jobstates.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    const quint8 reader = input.byte() % 4;
    const QByteArray answer = input.rest().toByteArray();
    const std::optional<JobStates::States> states = reader == 0 ? JobStates::nzbgetQueue(answer)
        : reader == 1                                           ? JobStates::nzbgetHistory(answer)
        : reader == 2                                           ? JobStates::sabnzbdQueue(answer)
                                                                : JobStates::sabnzbdHistory(answer);
    if (!states)
        return 0;
    for (auto job = states->cbegin(); job != states->cend(); ++job) {
        FUZZ_CHECK(!job.key().isEmpty() && job.key().size() <= 100);
        FUZZ_CHECK(job->percent >= 0 && job->percent <= 100);
        FUZZ_CHECK(job->reason.size() <= 300);
        for (const QChar c : job->reason)
            FUZZ_CHECK(c.category() != QChar::Other_Control);
    }
    return 0;
}
