// The page's viewport as the host hears of it, the checks that ask for the rows in view when the
// table does not hold them, and the look ahead that follows a scroll jumping past the rows drawn.

import { fetchState } from './connection.js';

export class ScrollLookAhead {
  // scheduler: the page's RequestScheduler; table(): the table drawn, or null; root: the element
  // the table is drawn in, where a stand-in measures the viewport before the first answer
  constructor(scheduler, table, root) {
    this.scheduler = scheduler;
    this.table = table;
    this.root = root;
    // The size the host last heard of: a check asks again only when the size differs from it.
    this.lastSize = '';
    // The rows where a steady jumping scroll will land next: asked for beside the page's one
    // request at a time, and kept undrawn until the scroll gets there. An answer that carries more
    // than rows (a command, a page to open, a later version) is drawn at once, as any answer, so
    // nothing in it is held back. A failed look ahead is let go: the scroll's own request meets
    // the same failure.
    this.ahead = { asked: null, snapshot: null, redraws: 0 };
    this.redraws = 0; // the times the host said what the page shows changed by itself
    this.checkScheduled = false;
  }

  viewport() {
    const table = this.table();
    if (table) return table.viewport();
    // Before the first answer the table's scroller is measured from a stand-in, so that the rows of
    // that answer already have the width they are drawn at and need not be asked for again.
    const probe = document.createElement('div');
    probe.className = 'table-scroller';
    probe.style.visibility = 'hidden';
    this.root.append(probe);
    const width = probe.clientWidth || window.innerWidth;
    const height = probe.clientHeight || window.innerHeight;
    probe.remove();
    return { first: 0, count: Math.ceil(height / 56) + 6, width, height };
  }

  // The viewport a request to the host carries, whose size the host then has heard of.
  hostViewport() {
    const { first, count, width, height } = this.viewport();
    this.lastSize = `${width}x${height}`;
    return { first, count, width, height };
  }

  // What the page shows changed by itself (a row's cover arrived): rows asked for ahead before it
  // are drawn when the scroll lands there, then looked at again.
  noteRedraw() {
    this.redraws += 1;
  }

  lookAhead() {
    const ahead = this.ahead;
    const scheduler = this.scheduler;
    const table = this.table();
    if (ahead.asked || scheduler.stopped || !table) return;
    const next = table.nextJump(this.viewport());
    if (!next) return;
    ahead.asked = next;
    ahead.snapshot = null;
    ahead.redraws = this.redraws;
    fetchState({ first: next.first, count: next.count, width: next.width, height: next.height })
      .then((snapshot) => {
        const rows = snapshot.screen?.table;
        if (
          rows &&
          snapshot.version === scheduler.version &&
          !snapshot.openURLs?.length &&
          !rows.commands?.length
        )
          ahead.snapshot = snapshot;
        else scheduler.queueDraw(snapshot);
      })
      .catch(() => {})
      .finally(() => {
        ahead.asked = null;
        this.scheduleCheck();
      });
  }

  // Draws rows asked for ahead when they cover the viewport, the state and size being the same, or
  // waits for them while they are on their way. Answers whether it did either.
  landAhead(current, size) {
    const ahead = this.ahead;
    const drawn = this.table();
    const table =
      ahead.snapshot?.screen.table ??
      (ahead.asked
        ? { first: ahead.asked.first, count: ahead.asked.count, rowCount: drawn.rowCount }
        : null);
    if (size !== this.lastSize || !table || !drawn.covers(current, table)) return false;
    if (ahead.snapshot) {
      const snapshot = ahead.snapshot;
      ahead.snapshot = null;
      if (snapshot.version !== this.scheduler.version) return false;
      this.scheduler.land(snapshot, ahead.redraws !== this.redraws);
    }
    return true;
  }

  // Asks for the rows in view when the table does not hold them, or when the size changed.
  check() {
    // While an answer is on its way the check waits for it: every request ends with another
    // check, against the rows that answer drew, so the same rows are not asked for twice.
    const table = this.table();
    if (!table || this.scheduler.busy) return;
    const current = this.viewport();
    const size = `${current.width}x${current.height}`;
    if (size !== this.lastSize || !table.covers(current)) {
      table.noteJump(current);
      if (!this.landAhead(current, size)) {
        this.lastSize = size;
        this.scheduler.look();
      }
      this.lookAhead();
    }
  }

  scheduleCheck() {
    if (this.checkScheduled) return;
    this.checkScheduled = true;
    requestAnimationFrame(() => {
      this.checkScheduled = false;
      this.check();
    });
  }
}
