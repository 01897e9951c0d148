#include "tvekthread.h"

#include "vektorausgabe.h"

namespace orvexa {

TVekThread::~TVekThread() {
    Beenden_im_Destruktor();
}

void TVekThread::Befehl_ausfuehren(int befehl) {
    if (befehl == Befehl_Lauf) m_lauf.StartBitBtn_Thread();
}

} // namespace orvexa
