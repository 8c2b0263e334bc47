// The fixed removal list.
#include "removal/fixed_list.h"

#include "removal/guarded_delete.h"
#include "run/trace.h"

const char* const kFixedFiles[] = {
    "oxqt.exe",
    "wxqt.exe",
    "oxqd.dll",
    "oxqt.s",
    "oxqd.s",
    "GameGuard\\category.tsf",
    "GameGuard\\daily.tsf",
    "GameGuard\\GameGuard.ver",
    "GameGuard\\GameMon.des",
    "GameGuard\\Tessaroval.ini",
    "GameGuard\\npgg.erl",
    "GameGuard\\npgg9x.des",
    "GameGuard\\npggNT.des",
    "GameGuard\\npgl.erl",
    "GameGuard\\npgm.erl",
    "GameGuard\\npgmup.des",
    "GameGuard\\npgmup.des.new",
    "GameGuard\\npgmup.erl",
    "GameGuard\\npsc.des",
    "GameGuard\\npsc.erl",
    "GameGuard\\pppp.txt",
    "GameGuard\\Splash.jpg",
    "GameGuard\\teas.dll",
    "GameGuard\\teas.tls",
    "GameGuard\\teasbase.tsf",
    "GameGuard\\teasname.tsf",
    "GameGuard\\TeCtrl.dll",
    "GameGuard\\TyAv32.dll",
    "GameGuard\\tyavd.tsf",
    "GameGuard\\tyavn.tsf",
    "GameGuard\\ggscan.des",
    "",
};

void DeleteFixedFiles() {
  for (const char* const* entry = kFixedFiles; (*entry)[0] != '\0'; ++entry) {
    Trace(*entry);
    DeleteGuarded(*entry);
  }
  RemoveDirectoryGuarded("GameGuard");
}
