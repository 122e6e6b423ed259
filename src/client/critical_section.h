#pragma once

// The client libraries' one process-wide lock, re-entrant for its owning
// thread; every sequence of view or VOB calls runs inside it.
void nt_enter_critical_section();
void nt_leave_critical_section();
