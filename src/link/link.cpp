/*******************************************************************************************
*  link.cpp — the process-wide Link
*
*  One record for the whole process, never destroyed: detached threads keep using it until
*  the process ends. Tests point theLink() at a record of their own.
*******************************************************************************************/
#include <atomic>
#include <utility>

#include "link/link.h"

namespace vlr {

namespace {

// Never destroyed: detached threads keep waiting on its lock and signals until the process ends,
// so it must outlive static destruction.
union ImmortalLink {
    Link link;
    ImmortalLink() : link() {}
    ~ImmortalLink() {}
};

Link& processLink() {
    static ImmortalLink storage;
    return storage.link;
}

std::atomic<Link*> currentLink{nullptr};

}  // namespace

Link& theLink() {
    Link* link = currentLink.load(std::memory_order_acquire);
    return link ? *link : processLink();
}

void setTheLink(Link* link) {
    currentLink.store(link, std::memory_order_release);
}

LinkAddress linkAddress(const Link& link) {
    std::lock_guard<std::mutex> hold(link.lock);
    return {link.port, link.token};
}

void setLinkAddress(Link& link, int port, std::string token) {
    std::lock_guard<std::mutex> hold(link.lock);
    link.port = port;
    link.token = std::move(token);
}

}  // namespace vlr
