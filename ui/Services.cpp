#include "Services.h"

#include <QPrinter>

#include <stdexcept>

namespace qvx::ui {

namespace {
Services *g_services = nullptr;
}

Services &Services::current()
{
    if (!g_services)
        throw std::logic_error("no services installed");
    return *g_services;
}

QSize Services::printerPageSize()
{
    return printer().pageRect(QPrinter::DevicePixel).toRect().size();
}

void Services::install(Services *services)
{
    g_services = services;
}

} // namespace qvx::ui
