// The page's side of a kept thread's window of posts, kept in the view's own script world.
//
// The post rows stand between the spacers "vk-above" and "vk-below"; a row's id is "p<index>",
// its index in the outline of the posts shown. The spacers' heights are the posts not in the
// page at the rows' measured height, so that the scroll bar tells where in the whole thread the
// reader is; every change keeps the post at the top where it was on screen.
//
// want() tells what the view needs: [0] nothing, [1, index] a jump (the reader dragged into a
// spacer, index where he is), [2, side] more posts on that side; and, last, the index of the post
// at the top (-1 when none is on screen). hit() marks the post a search opened the thread at,
// with the words it found highlighted in its body (the div after its head), in every part of the
// page it comes into.
if (!window.vkp)
    window.vkp = (function() {
        var state = {first: 0, last: 0, total: 0, rowHeight: 0, hit: -1, words: []};

        // The spacer's row above (side < 0) or below the posts.
        function spacer(side) {
            var cell = document.getElementById(side < 0 ? 'vk-above' : 'vk-below');
            return cell && cell.closest('tr');
        }

        function postRows() {
            var rows = [], above = spacer(-1), below = spacer(1);
            if (!above || !below)
                return rows;
            for (var row = above.nextElementSibling; row && row !== below;
                 row = row.nextElementSibling) {
                rows.push(row);
            }
            return rows;
        }

        function indexOf(row) { return +row.id.slice(1); }

        // The index of the first post whose bottom is below the view's top, when it is on screen.
        function topPost() {
            var rows = postRows(), low = 0, high = rows.length;
            while (low < high) {
                var middle = (low + high) >> 1;
                if (rows[middle].getBoundingClientRect().bottom <= 1)
                    low = middle + 1;
                else
                    high = middle;
            }
            return low < rows.length && rows[low].getBoundingClientRect().top < innerHeight ?
                indexOf(rows[low]) :
                -1;
        }

        // The first row on screen and where it stands, to keep it there through a change.
        function anchor() {
            var rows = postRows();
            for (var i = 0; i < rows.length; i++) {
                var box = rows[i].getBoundingClientRect();
                if (box.bottom > 0)
                    return {row: rows[i], y: box.top};
            }
            return null;
        }

        function keep(place) {
            if (place && place.row.isConnected) {
                var moved = place.row.getBoundingClientRect().top - place.y;
                if (moved)
                    scrollBy(0, moved);
            }
        }

        // The spacers stand for the posts not in the page, at the rows' height (measured anew when
        // asked), kept within what a page can be high.
        function fitSpacers(measure) {
            var rows = postRows();
            if (measure && rows.length) {
                var height = (rows[rows.length - 1].getBoundingClientRect().bottom -
                              rows[0].getBoundingClientRect().top) /
                    rows.length;
                if (height > 0)
                    state.rowHeight = height;
            }
            var rowHeight = Math.min(state.rowHeight || 60, 3e7 / Math.max(state.total, 1));
            spacer(-1).firstChild.firstChild.style.height =
                Math.round(state.first * rowHeight) + 'px';
            spacer(1).firstChild.firstChild.style.height =
                Math.round((state.total - state.last) * rowHeight) + 'px';
        }

        // Rows of HTML as nodes to put into the table.
        function parseRows(html) {
            var template = document.createElement('template');
            template.innerHTML = '<table><tbody>' + html + '</tbody></table>';
            var body = template.content.querySelector('tbody'),
                rows = document.createDocumentFragment();
            while (body && body.firstChild)
                rows.appendChild(body.firstChild);
            return rows;
        }

        function goTo(index) {
            var row = document.getElementById('p' + index);
            if (row)
                row.scrollIntoView();
            return !!row;
        }

        // The words found, each wrapped in a mark, in the texts of the body of the post looked for.
        function highlight(body, words) {
            var walker = document.createTreeWalker(body, NodeFilter.SHOW_TEXT), node, texts = [];
            while (words.length && (node = walker.nextNode()))
                texts.push(node);
            texts.forEach(function(text) {
                var data = text.data, lower = data.toLowerCase(),
                    pieces = document.createDocumentFragment();
                var at = 0;
                for (;;) {
                    var found = -1, word = '';
                    words.forEach(function(w) {
                        var i = lower.indexOf(w, at);
                        if (i >= 0 && (found < 0 || i < found)) {
                            found = i;
                            word = w;
                        }
                    });
                    if (found < 0)
                        break;
                    pieces.append(data.slice(at, found));
                    var mark = document.createElement('mark');
                    mark.className = 'vk-hit';
                    mark.textContent = data.slice(found, found + word.length);
                    pieces.append(mark);
                    at = found + word.length;
                }
                if (at) {
                    pieces.append(data.slice(at));
                    text.replaceWith(pieces);
                }
            });
        }

        // The post looked for, marked once each time it comes into the page.
        function markHit() {
            var row = state.hit < 0 ? null : document.getElementById('p' + state.hit);
            if (!row || row.classList.contains('vk-target'))
                return;
            row.classList.add('vk-target');
            var words = state.words.map(function(w) { return w.toLowerCase(); })
                            .filter(function(w) { return w; });
            highlight(row.querySelector('td>div+div') || row, words);
        }

        return {
            set: function(first, last, total, index) {
                history.scrollRestoration = 'manual';
                state.first = first;
                state.last = last;
                state.total = total;
                fitSpacers(true);
                if (index < 0 || !goTo(index))
                    scrollTo(0, 0);
                return topPost();
            },
            want: function() {
                var rows = postRows(), height = innerHeight, rowHeight = state.rowHeight || 60;
                if (!rows.length)
                    return [0, 0, -1];
                var top = rows[0].getBoundingClientRect().top;
                var bottom = rows[rows.length - 1].getBoundingClientRect().bottom;
                var shown = topPost();
                if (top > height && state.first > 0) {
                    return [1, Math.max(0, state.first - Math.ceil(top / rowHeight)), shown];
                }
                if (bottom < 0 && state.last < state.total) {
                    return [
                        1, Math.min(state.total - 1, state.last + Math.floor(-bottom / rowHeight)),
                        shown
                    ];
                }
                if (state.first > 0 && top > -2 * height)
                    return [2, -1, shown];
                if (state.last < state.total && bottom < 3 * height)
                    return [2, 1, shown];
                return [0, 0, shown];
            },
            add: function(side, html, first, last) {
                var place = anchor(), rows = parseRows(html);
                if (side < 0)
                    spacer(-1).after(rows);
                else
                    spacer(1).before(rows);
                postRows().forEach(function(row) {
                    var i = indexOf(row);
                    if (i < first || i >= last)
                        row.remove();
                });
                state.first = first;
                state.last = last;
                fitSpacers(false);
                keep(place);
                markHit();
                return topPost();
            },
            reset: function(html, first, last, total, index, end) {
                history.scrollRestoration = 'manual';
                postRows().forEach(function(row) { row.remove(); });
                spacer(-1).after(parseRows(html));
                state.first = first;
                state.last = last;
                state.total = total;
                fitSpacers(true);
                markHit();
                if (end)
                    scrollTo(0, document.documentElement.scrollHeight);
                else if (!goTo(index))
                    scrollTo(0, 0);
                return topPost();
            },
            hit: function(index, words) {
                state.hit = index;
                state.words = words;
                markHit();
            },
            news: function(html) {
                var head = document.querySelector('div.vk-head'), row = head && head.closest('tr');
                if (!html) {
                    if (row)
                        row.remove();
                    return;
                }
                if (row) {
                    row.firstElementChild.innerHTML = html;
                    return;
                }
                var newsRow = document.createElement('tr'), cell = document.createElement('td');
                cell.innerHTML = html;
                newsRow.appendChild(cell);
                spacer(-1).before(newsRow);
            },
            go: function(index) {
                goTo(index);
                return topPost();
            },
            end: function(toEnd) {
                scrollTo(0, toEnd ? document.documentElement.scrollHeight : 0);
                return topPost();
            }
        };
    })();
