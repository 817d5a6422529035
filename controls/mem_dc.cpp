#include "controls/mem_dc.h"

namespace controls {

CMemDC::CMemDC(fw::CDC& target) : m_target(&target), m_offScreen(target.IsPrinting() ? 0 : 1) {
  if (!m_offScreen) return;
  m_area = target.GetClipBox();
  m_bitmap = target.CreateCompatibleMemoryDC(m_area.Width(), m_area.Height());
  if (!m_bitmap) {
    m_offScreen = 0;  // no memory contexts here: draw on the target
    return;
  }
  m_bitmap->SetWindowOrg({m_area.left, m_area.top});
}

CMemDC::~CMemDC() {
  if (m_offScreen && m_bitmap)
    m_target->BitBlt(m_area.left, m_area.top, m_area.Width(), m_area.Height(), *m_bitmap, m_area.left, m_area.top);
}

}  // namespace controls
