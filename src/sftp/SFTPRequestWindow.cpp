#include "SFTPRequestWindow.h"

#include "SFTPWire.h"

#include <algorithm>

SFTPRequestWindow::SFTPRequestWindow(SFTPWire& sftpWire) : wire(sftpWire) {}

void SFTPRequestWindow::issue(quint8 type, QByteArrayView payload, qint64 offset, qint64 length, bool first)
{
    const Request request{wire.issue(type, payload), offset, length, std::nullopt};
    if (first)
        requests.push_front(request);
    else
        requests.push_back(request);
}

SFTPRequestWindow::Answer SFTPRequestWindow::next()
{
    while (!requests.front().answer) {
        const SFTPWire::Answer answered = wire.answer();
        const auto request = find(answered.id);
        if (request == requests.begin()) {
            const Answer answer{request->offset, request->length, answered.reply};
            requests.pop_front();
            return answer;
        }
        request->answer = answered.reply.buffer.toByteArray();
    }
    Request head = std::move(requests.front());
    requests.pop_front();
    current = std::move(*head.answer);
    return {head.offset, head.length, SFTPPacket::Reader{current}};
}

void SFTPRequestWindow::drain() noexcept
{
    std::erase_if(requests, [](const Request& request) { return request.answer.has_value(); });
    try {
        while (!requests.empty())
            requests.erase(find(wire.answer().id));
    } catch (...) {
    }
    requests.clear();
}

std::deque<SFTPRequestWindow::Request>::iterator SFTPRequestWindow::find(quint32 id)
{
    const auto found = std::ranges::find(requests, id, &Request::id);
    // An answer to nothing that was asked, or asked twice.
    if (found == requests.end() || found->answer)
        SFTPPacket::malformed();
    return found;
}
