#include "platform/guarded.h"

#include "platform/services.h"
#include "storage/error.h"

#include <exception>

namespace dorvin {

QString errorText(const std::exception& error)
{
    return QString::fromUtf8(error.what());
}

bool runGuarded(const std::function<void()>& fn)
{
    try {
        fn();
        return true;
    } catch (const Abort&) {
        return false;
    } catch (const std::bad_alloc&) {
        services().errorReport(QStringLiteral("Недостаточно памяти"));
    } catch (const std::exception& e) {
        services().errorReport(errorText(e));
    }
    return false;
}

} // namespace dorvin
