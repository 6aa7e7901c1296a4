#include "Notices.h"

#include <algorithm>

namespace vox {

void Notices::raise(NoticeCause cause, const QString &text)
{
    std::erase_if(m_active, [cause](const Notice &n) { return n.cause == cause; });
    m_active.push_back(Notice{cause, text});
    publish();
}

void Notices::settle(NoticeCause cause)
{
    if (std::erase_if(m_active, [cause](const Notice &n) { return n.cause == cause; }))
        publish();
}

void Notices::settle(NoticeCause cause, const QString &text)
{
    if (std::erase_if(m_active, [&](const Notice &n) { return n.cause == cause && n.text == text; }))
        publish();
}

void Notices::settle(std::initializer_list<NoticeCause> causes)
{
    const auto matches = [&](const Notice &n) { return std::find(causes.begin(), causes.end(), n.cause) != causes.end(); };
    if (std::erase_if(m_active, matches))
        publish();
}

void Notices::clear()
{
    if (m_active.empty())
        return;
    m_active.clear();
    publish();
}

bool Notices::isRaised(NoticeCause cause) const
{
    return std::any_of(m_active.begin(), m_active.end(), [cause](const Notice &n) { return n.cause == cause; });
}

void Notices::publish()
{
    std::optional<QString> now;
    if (!m_active.empty())
        now = m_active.back().text;
    if (now == m_current)
        return;
    m_current = std::move(now);
    if (m_changed)
        m_changed();
}

} // namespace vox
