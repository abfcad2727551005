#include "apps/ctl/report_command.h"

#include "apps/ctl/ctl_commands.h"
#include "apps/ctl/wait_for_answer.h"
#include "core/message_ids.h"
#include "core/utf16.h"
#include "link/server_link.h"
#include "model/mirror.h"
#include "reports/report_file.h"
#include "reports/selector_gathering.h"

#include <ostream>

namespace mirx::ctl {
namespace {

struct KindName {
    std::string_view name;
    ReportKind kind;
};

constexpr KindName kKindNames[] = {
    {"connection-status", ReportKind::ConnectionStatus},
    {"party-lines", ReportKind::PartyLines},
    {"selectors", ReportKind::Selectors},
};

// One client after another into `writer`. Nothing when the link ended or
// `stop` was set; a client that does not answer in time is given up on and
// the next one asked.
std::optional<std::vector<int>> gatherSelectors(link::ServerLink& link, model::Mirror& mirror,
                                                reports::SelectorReportWriter& writer,
                                                std::size_t& asked, const std::atomic<bool>& stop,
                                                int answerTimeoutMs) {
    auto clients = mirror.read(
        [](const model::MirrorData& d) { return reports::selectorReportClients(d.labels); });
    // Each record is written as it comes; none is kept.
    reports::SelectorGathering gathering(std::move(clients), false);
    asked = gathering.clientCount();
    model::ClientStore& flags = mirror.clientFlags();
    model::SelectorAnswerWait answer(0);
    const auto ask = [&] {
        answer.asking(flags);
        return link.requestQueue().PostCopy(msg::ADMIN_SELECTOR_ASSIGNMENTS_REQUEST,
                                            answer.second(), nullptr, 0);
    };
    // As the report view: only the awaited client's answer counts, and one
    // displaced before it was taken is asked for again.
    const auto take = [&] {
        if (!answer.answered(flags)) {
            return false;
        }
        if (mirror.read(
                [&](const model::MirrorData& d) { return gathering.takeFrom(d.clients); })) {
            return true;
        }
        ask();
        return false;
    };
    // The last client answered (-1: none), written while the next one's
    // answer travels.
    int unwritten = -1;
    const auto writeUnwritten = [&] {
        if (unwritten >= 0) {
            mirror.read([&](const model::MirrorData& d) {
                writer.add(d.labels, unwritten, gathering.lastTaken());
            });
            unwritten = -1;
        }
    };
    while (const auto client = gathering.awaited()) {
        answer = model::SelectorAnswerWait(static_cast<std::uint16_t>(*client));
        if (!ask()) {
            return std::nullopt;
        }
        writeUnwritten();
        if (waitForAnswer(take, link, answerTimeoutMs, stop)) {
            unwritten = *client;
        } else if (stop.load() || !link.connected()) {
            return std::nullopt;
        } else {
            gathering.giveUp();
        }
    }
    writeUnwritten();
    return gathering.gathered().missing;
}

// Control characters from the server are shown as escapes, line by line, so
// a name cannot steer the terminal.
std::string visibleLines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        out += text::visibleText(text.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        out += '\n';
        text.remove_prefix(end + 1);
    }
    return out;
}

} // namespace

std::optional<ReportKind> reportKindNamed(std::string_view name) {
    for (const KindName& k : kKindNames) {
        if (k.name == name) {
            return k.kind;
        }
    }
    return std::nullopt;
}

std::optional<GatheredReport> gatherReport(link::ServerLink& link, model::Mirror& mirror,
                                           ReportKind kind, const std::tm& localTime,
                                           const std::atomic<bool>& stop, int answerTimeoutMs) {
    GatheredReport report;
    if (kind == ReportKind::ConnectionStatus) {
        if (!requestStatistics(link, mirror, stop, answerTimeoutMs)) {
            return std::nullopt;
        }
        report.text = mirror.read([&](const model::MirrorData& d) {
            return reports::connectionStatusReport(d.labels, d.statistics, localTime);
        });
        return report;
    }
    reports::SelectorReportWriter writer(kind == ReportKind::PartyLines
                                             ? reports::SelectorReport::PartyLineMembership
                                             : reports::SelectorReport::SelectorAssignments,
                                         localTime);
    const auto missing = gatherSelectors(link, mirror, writer, report.asked, stop, answerTimeoutMs);
    if (!missing) {
        return std::nullopt;
    }
    report.missing = missing->size();
    report.text =
        mirror.read([&](const model::MirrorData& d) { return writer.finish(d.labels, *missing); });
    return report;
}

int reportCommand(CtlSession& s) {
    // The option parser let only a known kind through.
    const ReportKind kind = *reportKindNamed(s.options.files.front());
    const auto report =
        gatherReport(s.link, s.mirror, kind, reports::reportLocalTime(std::time(nullptr)), s.stop);
    s.link.StopLink();
    if (s.stop.load()) {
        return kExitInterrupted;
    }
    if (!report) {
        if (!s.link.connected() && !s.link.errorText().empty()) {
            s.streams.err << "mirx-ctl: the connection to the server was lost\n";
            return kExitConnectionLost;
        }
        if (kind == ReportKind::ConnectionStatus) {
            s.streams.err << "mirx-ctl: the server did not answer the statistics request\n";
            return kExitNoAnswer;
        }
        // Only a full request queue is left.
        s.streams.err << "mirx-ctl: the selector assignments requests could not be sent\n";
        return kExitInternal;
    }
    if (s.options.textFile) {
        const std::string error = reports::saveReportFile(*s.options.textFile, report->text);
        if (!error.empty()) {
            s.streams.err << "mirx-ctl: " << error << "\n";
            return kExitNotWritten;
        }
    }
    if (s.options.pdfFile) {
        const std::string error = s.options.pdfPrinter(*s.options.pdfFile, report->text);
        if (!error.empty()) {
            s.streams.err << "mirx-ctl: " << *s.options.pdfFile << ": " << error << "\n";
            return kExitNotWritten;
        }
    }
    if (!s.options.textFile && !s.options.pdfFile) {
        s.streams.out << visibleLines(report->text);
        s.streams.out.flush();
    }
    if (report->missing != 0) {
        s.streams.err << "mirx-ctl: no selector assignments arrived for " << report->missing
                      << " of " << report->asked << " clients; the report lists them as missing\n";
        return kExitNoAnswer;
    }
    return kExitOk;
}

} // namespace mirx::ctl
