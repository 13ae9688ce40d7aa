// What the reader's hands do on a page: a tap near an edge turns the page that way (the side the
// next page lies on goes forward), a swipe drags the next page in from its side, a pinch makes
// the text larger or smaller, a link of the book opens its place and one out of it a new window,
// a tapped highlight offers its removal.

export function listenToPage(doc, frame, pages) {
  const options = pages.options;
  doc.addEventListener('click', (event) => clicked(event, doc, frame, pages));
  doc.addEventListener('keydown', (event) => options.onKey?.(event));
  doc.addEventListener('selectionchange', () => options.onSelection?.());
  listenToPinch(doc, (factor) => options.onPinch?.(factor));
  let start = null;
  doc.addEventListener('touchstart', (event) => {
    const touch = event.changedTouches[0];
    // A second finger makes the gesture a pinch, never a swipe.
    start = touch && event.touches.length === 1 ? { x: touch.clientX, y: touch.clientY } : null;
  }, { passive: true });
  doc.addEventListener('touchend', (event) => {
    const touch = event.changedTouches[0];
    if (!start || !touch) return;
    const dx = touch.clientX - start.x;
    const dy = touch.clientY - start.y;
    start = null;
    if (Math.abs(dx) > 40 && Math.abs(dx) > Math.abs(dy) * 1.5 && doc.getSelection().isCollapsed) {
      const towardsNext = pages.progression === 'rtl' ? dx > 0 : dx < 0;
      options.onSwipe?.(towardsNext ? 'next' : 'previous');
    }
  }, { passive: true });
}

// Two fingers spread or pinched, and a touchpad's pinch (which the browser sends as a wheel with
// Ctrl held): answered with the factor by which the fingers' distance changed, once they are
// lifted, so the text is laid out once per gesture. The page itself never zooms: its touch-action
// leaves the browser no pinch to do, and the wheel's is taken over here.
export function listenToPinch(target, onPinch) {
  let pinch = null;
  const spread = (touches) =>
    Math.hypot(touches[0].clientX - touches[1].clientX, touches[0].clientY - touches[1].clientY);
  target.addEventListener('touchstart', (event) => {
    if (event.touches.length === 2)
      pinch = { from: spread(event.touches), to: spread(event.touches) };
    else if (event.touches.length > 2) pinch = null;
  }, { passive: true });
  target.addEventListener('touchmove', (event) => {
    if (pinch && event.touches.length === 2) pinch.to = spread(event.touches);
  }, { passive: true });
  target.addEventListener('touchend', (event) => {
    if (!pinch || event.touches.length > 0) return;
    const factor = pinch.to / Math.max(1, pinch.from);
    pinch = null;
    if (Math.abs(factor - 1) > 0.1) onPinch(factor);
  }, { passive: true });
  target.addEventListener('touchcancel', () => { pinch = null; }, { passive: true });
  target.addEventListener('wheel', (event) => {
    if (!event.ctrlKey) return;
    event.preventDefault();
    onPinch(Math.min(1.1, Math.max(1 / 1.1, Math.exp(-event.deltaY / 200))));
  }, { passive: false });
}

function clicked(event, doc, frame, pages) {
  const options = pages.options;
  const link = event.target.closest?.('a[href]');
  if (link) {
    event.preventDefault();
    followLink(link, doc, pages);
    return;
  }
  const mark = event.target.closest?.('mark[data-highlight]');
  if (mark && doc.getSelection().isCollapsed) {
    options.onMarkTapped?.(mark.dataset.highlight, pages.frameRect(mark.getBoundingClientRect()));
    return;
  }
  if (!doc.getSelection().isCollapsed) return;
  // The zone by where on the stage the tap fell, whatever the page's scale.
  const outer = frame.getBoundingClientRect();
  const stage = (frame.parentElement ?? frame).getBoundingClientRect();
  const x =
    (outer.left + event.clientX * (pages.fixed ? pages.scale : 1) - stage.left) /
    (stage.width || 1);
  const edge = x < 0.3 ? 'left' : x > 0.7 ? 'right' : 'middle';
  if (edge === 'middle') options.onTap?.('middle');
  else options.onTap?.((edge === 'right') === (pages.progression === 'ltr') ? 'next' : 'previous');
}

function followLink(link, doc, pages) {
  let target;
  try {
    target = new URL(link.getAttribute('href'), doc.baseURI);
  } catch {
    return;
  }
  const inside = pages.linkTarget(target);
  if (inside) {
    if (inside.index >= 0) pages.options.onLink?.(inside.index, inside.fragment);
    return;
  }
  if (/^(https?|mailto):$/.test(target.protocol)) window.open(target.href, '_blank', 'noopener,noreferrer');
}
