// svc.cpp - the service layer's handlers and start-up.
#include "svc.h"

#include "oswrap.h"

extern "C" {

tOsSysErrorHandler SvcSysErrorHandler = OsWrap__TextOut;
tOsSysErrorHandler SvcSysInfoHandler = OsWrap__TextOut;

eOsRet SvcInit(tOsSysErrorHandler sysErrorHandler, tOsSysErrorHandler sysInfoHandler) {
    if (sysErrorHandler != nullptr) SvcSysErrorHandler = sysErrorHandler;
    if (sysInfoHandler != nullptr) SvcSysInfoHandler = sysInfoHandler;
    return eOS_RET_SUCCESS;
}

} // extern "C"
