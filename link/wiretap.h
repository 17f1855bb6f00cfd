// A listener on the wire: every chunk the Link sends and receives, as bytes,
// in the order it went out or came in. Called on the link's own thread (the
// window's), in the middle of an exchange, so an implementation must not block.
#pragma once

#include <QByteArray>

namespace wire {

class WireTap
{
public:
    virtual ~WireTap() = default;
    // `secret`: a login answer, which a transcript must not keep.
    virtual void sent(const QByteArray &bytes, bool secret) = 0;
    virtual void received(const QByteArray &bytes) = 0;
};

} // namespace wire
