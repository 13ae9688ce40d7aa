// The table from the keyboard: arrows, Page Up/Down, Home and End move between rows (the list
// scrolls along), Enter or Space opens the book, Delete shows the row's delete button for
// confirmation (Enter confirms, Escape takes it back), and typing a character jumps to that
// index title as tapping it would.

import { setRowOpen } from './rows.js';

function isPrintable(event) {
  return event.key.length > 0 && [...event.key].length === 1 && event.key !== ' ' && !event.ctrlKey && !event.metaKey && !event.altKey;
}

export function attachKeyboard(table) {
  const moveTo = (flat) => {
    if (table.rowCount === 0) return;
    table.focusFlat = Math.min(Math.max(0, flat), table.rowCount - 1);
    table.closeOpenRows();
    table.scrollToRow(table.focusFlat, 'none', false);
    table.wantsFocus = true;
    table.focusFocusedRow();
  };
  const pageRows = () => Math.max(1, Math.floor(table.scroller.clientHeight / table.rowHeight) - 1);

  table.rowsLayer.addEventListener('focus', (event) => {
    if (event.target === table.rowsLayer) moveTo(table.focusFlat);
  });
  table.rowsLayer.addEventListener('focusin', (event) => {
    const row = event.target.closest?.('.row');
    if (row && event.target === row.cell) table.focusFlat = row.rowData.flat;
  });

  table.rowsLayer.addEventListener('keydown', (event) => {
    const row = event.target.closest?.('.row');
    const onCell = row && event.target === row.cell;
    const onDelete = row && event.target === row.deleteButton;
    switch (event.key) {
    case 'ArrowDown': moveTo(table.focusFlat + 1); break;
    case 'ArrowUp': moveTo(table.focusFlat - 1); break;
    case 'PageDown': moveTo(table.focusFlat + pageRows()); break;
    case 'PageUp': moveTo(table.focusFlat - pageRows()); break;
    case 'Home': moveTo(0); break;
    case 'End': moveTo(table.rowCount - 1); break;
    case 'Enter':
    case ' ':
      if (onCell) table.tap(row);
      else return;
      break;
    case 'Delete':
    case 'Backspace':
      if (!onCell || !row.rowData.editable) return;
      table.closeOpenRows(row);
      setRowOpen(row, true);
      row.deleteButton.focus({ preventScroll: true });
      break;
    case 'Escape':
      if (!onDelete && !row?.classList.contains('open')) return;
      setRowOpen(row, false);
      row.cell.focus({ preventScroll: true });
      break;
    default:
      if (!isPrintable(event)) return;
      {
        const titles = table.index.titles;
        const title = titles.includes(event.key)
          ? event.key
          : titles.find(
              (candidate) => candidate.toLocaleLowerCase() === event.key.toLocaleLowerCase(),
            );
        if (!title) return;
        table.keyboardJump = true;
        table.actions.send({ type: 'tapIndexTitle', title });
      }
    }
    event.preventDefault();
  });
}
