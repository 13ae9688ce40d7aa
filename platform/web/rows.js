// One row of the table: the cell drawn from the view tree, the separator below it, and the
// delete button behind it that a swipe to the left reveals (touch or mouse drag). A tap opens the
// book; a tap on a row whose delete button shows closes it again.

import { drawView } from './views.js';

const deleteWidth = 80;
const swipeThreshold = 8;

// The key under which a row's drawing is kept: everything it shows but where it stands.
export function rowKey(row) {
  const cell = { ...row.cell, frame: [row.cell?.frame?.[2], row.cell?.frame?.[3]] };
  return JSON.stringify([cell, row.selected, row.label, row.editable]);
}

// The separator starts where the row's text does, as the platform draws it.
function textLabelX(cell) {
  for (const part of cell.subviews ?? []) {
    const label = part.subviews?.find((view) => typeof view.text === 'string');
    if (label) return Number(label.frame?.[0]) || 16;
  }
  return 16;
}

// handlers: tap(row), confirmDelete(row), opened(rowElement) — rows ask the table to close others.
export function makeRow(row, handlers) {
  const element = document.createElement('div');
  element.className = 'row';
  element.setAttribute('role', 'listitem');

  const remove = document.createElement('button');
  remove.type = 'button';
  remove.className = 'row-delete';
  remove.textContent = 'Delete';
  remove.tabIndex = -1;
  remove.setAttribute('aria-label', `Delete ${row.label || 'book'}`);
  remove.addEventListener('click', (event) => {
    event.stopPropagation();
    // The row closes as the deletion is asked for; if the book cannot go, it simply stays.
    const hadFocus = element.contains(document.activeElement);
    setRowOpen(element, false);
    if (hadFocus) element.cell.focus({ preventScroll: true });
    handlers.confirmDelete(element.rowData);
  });

  const cell = document.createElement('div');
  cell.className = 'row-cell';
  cell.setAttribute('role', 'button');
  cell.tabIndex = -1;
  cell.setAttribute('aria-label', row.label || 'Untitled');
  if (row.editable) cell.setAttribute('aria-keyshortcuts', 'Enter Delete');
  const drawing = drawView(row.cell, {}, { origin: false });
  drawing.setAttribute('aria-hidden', 'true');
  const separator = document.createElement('div');
  separator.className = 'separator';
  separator.style.left = `${textLabelX(row.cell)}px`;
  cell.append(drawing, separator);

  element.append(remove, cell);
  element.rowData = row;
  element.cell = cell;
  element.deleteButton = remove;
  attachSwipe(element, handlers);
  return element;
}

export function setRowOpen(element, open) {
  element.classList.toggle('open', open);
  element.cell.style.transform = open ? `translateX(${-deleteWidth}px)` : '';
  element.deleteButton.tabIndex = open ? 0 : -1;
}

function attachSwipe(element, handlers) {
  const cell = element.cell;
  let gesture = null;
  let swallowClick = false;

  cell.addEventListener('pointerdown', (event) => {
    if (event.button !== 0) return;
    gesture = { id: event.pointerId, x: event.clientX, y: event.clientY, start: element.classList.contains('open') ? -deleteWidth : 0, swiping: false, offset: 0 };
  });
  cell.addEventListener('pointermove', (event) => {
    if (!gesture || event.pointerId !== gesture.id) return;
    const dx = event.clientX - gesture.x;
    const dy = event.clientY - gesture.y;
    if (!gesture.swiping) {
      if (Math.abs(dy) > swipeThreshold && Math.abs(dy) > Math.abs(dx)) {
        gesture = null;
        return;
      }
      if (Math.abs(dx) <= swipeThreshold || !element.rowData.editable) return;
      gesture.swiping = true;
      cell.setPointerCapture(event.pointerId);
      element.classList.add('swiping');
      handlers.opened(element);
    }
    gesture.offset = Math.min(0, Math.max(-deleteWidth * 1.5, gesture.start + dx));
    cell.style.transform = `translateX(${gesture.offset}px)`;
  });
  const finish = (event) => {
    if (!gesture || event.pointerId !== gesture.id) return;
    if (gesture.swiping) {
      element.classList.remove('swiping');
      setRowOpen(element, gesture.offset < -deleteWidth / 2);
      swallowClick = true;
      if (element.classList.contains('open')) element.deleteButton.focus({ preventScroll: true });
    }
    gesture = null;
  };
  cell.addEventListener('pointerup', finish);
  cell.addEventListener('pointercancel', (event) => {
    if (gesture?.swiping) {
      element.classList.remove('swiping');
      setRowOpen(element, false);
    }
    finish(event);
  });
  cell.addEventListener('click', () => {
    if (swallowClick) {
      swallowClick = false;
      return;
    }
    handlers.tap(element);
  });
}
