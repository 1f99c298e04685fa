#include "launcher/FailureText.h"

#include <exception>
#include <new>

namespace dravik {

Text CurrentFailureText() {
    try {
        throw;
    } catch (const Failure &failure) {
        return failure.Description();
    } catch (const std::bad_alloc &) {
        return L"Out of memory";
    } catch (const std::exception &e) {
        Text text;
        for (const char *p = e.what(); *p; ++p)
            text += static_cast<wchar_t>(static_cast<unsigned char>(*p));
        return text;
    } catch (...) {
        return L"Nepoznata greška";
    }
}

} // namespace dravik
