#include "MosquittoBroker.h"

#include "support/Eventually.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
int FreePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

bool Accepts(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}
} // namespace

std::string CMosquittoBroker::Binary()
{
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    // Debian installs the broker in sbin, which a user's PATH often lacks.
    path += ":/usr/sbin:/usr/local/sbin:/sbin";
    size_t start = 0;
    while (start <= path.size())
    {
        const size_t end = std::min(path.find(':', start), path.size());
        const std::string candidate = path.substr(start, end - start) + "/mosquitto";
        if (end > start && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

CMosquittoBroker::CMosquittoBroker(std::string folder) : m_folder(std::move(folder)) {}

bool CMosquittoBroker::Start()
{
    if (m_port == 0)
        m_port = FreePort();
    const std::string config = m_folder + "/mosquitto.conf";
    std::ofstream(config) << "listener " << m_port << " 127.0.0.1\nallow_anonymous "
                          << (m_refuseEveryone ? "false" : "true") << "\npersistence false\n";
    if (!m_process.Start({Binary(), "-c", config}, {}, m_folder + "/mosquitto.log"))
        return false;
    return Eventually([this] { return Accepts(m_port); }, 10000);
}

void CMosquittoBroker::Stop()
{
    m_process.Stop(SIGTERM);
}
